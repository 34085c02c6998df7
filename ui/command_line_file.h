// The picture named on the program's command line: "Open with", a picture
// dropped on lumirun.exe and a shortcut all start the program with the
// file's path as its first argument, quoted when it holds blanks.
#ifndef LUMIRUN_UI_COMMAND_LINE_FILE_H
#define LUMIRUN_UI_COMMAND_LINE_FILE_H

#include <string>

// The first argument after the program's own name, split by the rules of
// the Windows C runtime: blanks and tabs separate arguments outside quotation
// marks; a quotation mark opens or closes a quoted part; 2n backslashes
// before a quotation mark give n backslashes, 2n + 1 give n and a literal
// quotation mark; other backslashes are kept. The program's name ends at its
// closing quotation mark when it starts with one, else at the first blank.
// Empty when there is no argument. Further arguments are ignored.
std::string first_command_line_argument(const char* command_line);

#endif
