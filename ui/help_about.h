// The Help command, the help engine's shutdown and the About box.
#ifndef LUMIRUN_UI_HELP_ABOUT_H
#define LUMIRUN_UI_HELP_ABOUT_H

#include <windows.h>

// The process command line as GetCommandLineA gave it at start; only the
// Help command reads it.
extern char saved_command_line[260];

// Copies GetCommandLineA() into saved_command_line, cut to fit.
void save_command_line();

void show_help_index(HWND main_window);
void show_about_box(HWND main_window);
void close_help(HWND main_window);

#endif
