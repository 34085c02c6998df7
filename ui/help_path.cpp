#include "ui/help_path.h"

#include <cstring>

bool derive_help_path(const char* command_line, char* help_path, std::size_t size)
{
    if (size == 0)
        return false;
    // The program's path arrives quoted when started from Explorer or a
    // shortcut; a path that keeps the quotation mark names no file.
    if (command_line[0] == '"')
        ++command_line;
    // Only the first size - 1 characters are looked at: a ".exe" reaching
    // beyond them would give a path longer than the buffer.
    std::size_t length = 0;
    while (length + 1 < size && command_line[length] != '\0') {
        char c = command_line[length];
        help_path[length] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        ++length;
    }
    help_path[length] = '\0';

    char* extension = std::strstr(help_path, ".exe");
    if (extension == nullptr)
        return false;
    std::memcpy(extension, ".hlp", 5);
    return true;
}
