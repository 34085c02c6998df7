// The modal platform calls of the dialogs, the file choosers and the Help
// and About commands, reached through pointers that a test may replace with
// a recorder (a real box, chooser or missing help file would wait for a
// user). The program itself never changes them: they are MessageBoxA,
// WinHelpA, GetOpenFileNameA and GetSaveFileNameA.
#ifndef LUMIRUN_UI_PLATFORM_CALLS_H
#define LUMIRUN_UI_PLATFORM_CALLS_H

#include <windows.h>

#include <commdlg.h>

using message_box_function = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
using win_help_function = BOOL(WINAPI*)(HWND owner, LPCSTR help_file, UINT command, ULONG_PTR data);
using file_chooser_function = BOOL(WINAPI*)(LPOPENFILENAMEA request);

extern message_box_function message_box_call;
extern win_help_function win_help_call;
extern file_chooser_function open_file_name_call;
extern file_chooser_function save_file_name_call;

#endif
