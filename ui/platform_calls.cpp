#include "ui/platform_calls.h"

message_box_function message_box_call = MessageBoxA;
win_help_function win_help_call = WinHelpA;
file_chooser_function open_file_name_call = GetOpenFileNameA;
file_chooser_function save_file_name_call = GetSaveFileNameA;
