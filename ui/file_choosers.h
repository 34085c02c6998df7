// The open and save choosers (one shared OPENFILENAMEA record), the Help
// command and the About box.
#ifndef LUMIRUN_UI_FILE_CHOOSERS_H
#define LUMIRUN_UI_FILE_CHOOSERS_H

#include <windows.h>

// The process command line as GetCommandLineA gave it at start; only the
// Help command reads it.
extern char saved_command_line[260];

// Copies GetCommandLineA() into saved_command_line, cut to fit.
void save_command_line();

void init_file_chooser(HWND owner);
// Nonzero when a file was chosen; its full path is then in path (260 chars).
int choose_open_file(HWND owner, char* path);
int choose_save_file(HWND owner, char* path);

void show_help_index(HWND main_window);
void show_about_box(HWND main_window);
void close_help(HWND main_window);

#endif
