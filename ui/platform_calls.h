// The modal platform calls of the dialogs and of the Help and About
// commands, reached through pointers that a test may replace with a recorder
// (a real box or a missing help file would wait for a user). The program
// itself never changes them: they are MessageBoxA and WinHelpA.
#ifndef LUMIRUN_UI_PLATFORM_CALLS_H
#define LUMIRUN_UI_PLATFORM_CALLS_H

#include <windows.h>

using message_box_function = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
using win_help_function = BOOL(WINAPI*)(HWND owner, LPCSTR help_file, UINT command, ULONG_PTR data);

extern message_box_function message_box_call;
extern win_help_function win_help_call;

#endif
