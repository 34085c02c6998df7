#include "ui/command_line_file.h"

#include <cstddef>

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::string first_command_line_argument(const char* command_line)
{
    const char* p = command_line;
    // The program's name: no escapes, as the runtime reads it.
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && !is_blank(*p))
            ++p;
    }
    while (is_blank(*p))
        ++p;

    std::string argument;
    bool quoted = false;
    while (*p && (quoted || !is_blank(*p))) {
        if (*p == '\\') {
            std::size_t count = 0;
            while (p[count] == '\\')
                ++count;
            if (p[count] == '"') {
                argument.append(count / 2, '\\');
                p += count;
                if (count % 2 == 1) {
                    argument += '"';
                    ++p;
                }
            } else {
                argument.append(count, '\\');
                p += count;
            }
        } else if (*p == '"') {
            quoted = !quoted;
            ++p;
        } else {
            argument += *p++;
        }
    }
    return argument;
}
