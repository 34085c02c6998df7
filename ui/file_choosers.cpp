#include "ui/file_choosers.h"

#include <commdlg.h>

#include <cstring>

#include "app/app_state.h"
#include "ui/help_path.h"
#include "ui/platform_calls.h"

char saved_command_line[260];

namespace {

// The one request record that both choosers share for the whole run.
OPENFILENAMEA file_chooser;

const char about_text[] =
    "Lumirun JPG Version 1.1\n"
    "\n"
    "A picture as seen flying past it near the speed of light. Free to use and share.\n"
    "\n"
    "For the latest in fun things to see and try\n"
    "with Physics, visit us at\n"
    "\n"
    "https://lumirun.example.org/";

}  // namespace

void save_command_line()
{
    const char* command_line = GetCommandLineA();
    std::strncpy(saved_command_line, command_line, sizeof saved_command_line - 1);
    saved_command_line[sizeof saved_command_line - 1] = '\0';
}

void init_file_chooser(HWND owner)
{
    std::memset(&file_chooser, 0, sizeof file_chooser);
    // The record without the Windows 2000 additions, whose size a 32-bit
    // build knows as 76; the platform accepts this size in both builds.
    file_chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFilter = "JPG Files (*.jpg)\0*.jpg\0";
    file_chooser.nFilterIndex = 0;
    file_chooser.nMaxFile = path_buffer_size;
    file_chooser.lpstrDefExt = "jpg";
}

int choose_open_file(HWND owner, char* path)
{
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFile = path;
    file_chooser.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    return GetOpenFileNameA(&file_chooser);
}

int choose_save_file(HWND owner, char* path)
{
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFile = path;
    file_chooser.Flags = OFN_OVERWRITEPROMPT;
    return GetSaveFileNameA(&file_chooser);
}

void show_help_index(HWND main_window)
{
    char help_path[260];
    if (derive_help_path(saved_command_line, help_path, sizeof help_path))
        win_help_call(main_window, help_path, HELP_INDEX, 0);
}

void show_about_box(HWND main_window)
{
    message_box_call(main_window, about_text, "Lumirun About", MB_ICONINFORMATION | MB_OK);
}

void close_help(HWND main_window)
{
    win_help_call(main_window, "jpg.hlp", HELP_QUIT, 0);
}
