#include "ui/platform_calls.h"

message_box_function message_box_call = MessageBoxA;
win_help_function win_help_call = WinHelpA;
