// Where the Help command looks for the help file: the command line up to its
// first ".exe", in small letters, with ".hlp" in place of the ".exe". A
// quotation mark opening the command line (a quoted program path, as
// Explorer and shortcuts start programs) is not part of the path.
#ifndef LUMIRUN_UI_HELP_PATH_H
#define LUMIRUN_UI_HELP_PATH_H

#include <cstddef>

// Writes the help path into help_path (size bytes with the terminator) and
// returns true; returns false, writing nothing useful, when the command line
// holds no ".exe" or the path would not fit (the first ".exe" does not end
// within the first size - 1 characters after the dropped quotation mark).
// Only ASCII capitals are lowered.
bool derive_help_path(const char* command_line, char* help_path, std::size_t size);

#endif
