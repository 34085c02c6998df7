#include "ui/help_about.h"

#include <cstring>

#include "ui/help_path.h"
#include "ui/platform_calls.h"

char saved_command_line[260];

namespace {

// The last block: the project's page when the build names one
// (cmake/addresses.cmake), otherwise the README that comes with the program.
const char about_text[] =
    "Lumirun JPG Version 1.1\n"
    "\n"
    "A picture as seen flying past it near the speed of light. Free to use and share.\n"
    "\n"
    "For the latest in fun things to see and try\n"
#ifdef LUMIRUN_HOMEPAGE
    "with Physics, visit us at\n"
    "\n"
    LUMIRUN_HOMEPAGE;
#else
    "with Physics, read\n"
    "\n"
    "README.txt beside the program.";
#endif

// The help engine is a program of its own that reads the path in the
// system's code page, while ours (UTF-8, by its manifest) may name letters
// that code page lacks. The file's short name is plain ASCII and reaches it
// whole; when there is none (the file missing), the path stays as it is.
void use_short_path(char* path, std::size_t size)
{
    wchar_t wide[MAX_PATH];
    wchar_t short_wide[MAX_PATH];
    char short_path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return;
    const DWORD length = GetShortPathNameW(wide, short_wide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH
        || WideCharToMultiByte(CP_ACP, 0, short_wide, -1, short_path, MAX_PATH, nullptr, nullptr) == 0)
        return;
    for (const char* c = short_path; *c; ++c)
        if (static_cast<unsigned char>(*c) >= 0x80)
            return;
    if (std::strlen(short_path) < size)
        std::strcpy(path, short_path);
}

}  // namespace

void save_command_line()
{
    const char* command_line = GetCommandLineA();
    std::strncpy(saved_command_line, command_line, sizeof saved_command_line - 1);
    saved_command_line[sizeof saved_command_line - 1] = '\0';
}

void show_help_index(HWND main_window)
{
    char help_path[260];
    if (!derive_help_path(saved_command_line, help_path, sizeof help_path))
        return;
    use_short_path(help_path, sizeof help_path);
    win_help_call(main_window, help_path, HELP_INDEX, 0);
}

void show_about_box(HWND main_window)
{
    message_box_call(main_window, about_text, "Lumirun About", MB_ICONINFORMATION | MB_OK);
}

// The help engine is told to quit "jpg.hlp", the name the program has always
// closed, although Help opens the file named after the command line.
void close_help(HWND main_window)
{
    win_help_call(main_window, "jpg.hlp", HELP_QUIT, 0);
}
