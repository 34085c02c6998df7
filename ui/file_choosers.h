// The open and save choosers (one shared OPENFILENAMEA record): open lists
// JPEG and PNG files, save JPEG files.
#ifndef LUMIRUN_UI_FILE_CHOOSERS_H
#define LUMIRUN_UI_FILE_CHOOSERS_H

#include <windows.h>

void init_file_chooser(HWND owner);
// Nonzero when a file was chosen; its full path is then in path (260 chars).
int choose_open_file(HWND owner, char* path);
int choose_save_file(HWND owner, char* path);

#endif
