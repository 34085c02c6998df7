// The Settings (resource 103) and Render Quality (resource 102) dialogs.
// Every setting button writes app_state when clicked; only a typed speed
// waits for "Apply".
#ifndef LUMIRUN_UI_DIALOGS_H
#define LUMIRUN_UI_DIALOGS_H

#include <windows.h>

// Module instance the dialog templates are loaded from (the main window's
// entry stores it before anything else).
extern HINSTANCE app_instance;

// Ends with 1 after "Render It", 0 after "Apply" (valid value) or "Cancel".
INT_PTR CALLBACK settings_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Ends with 1 after "OK", 0 after "Cancel". The fifth choice, "Smooth (no
// gaps)", sets render_quality to smooth_quality.
INT_PTR CALLBACK quality_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

#endif
