// The few file operations that a safe save needs and that standard C and
// C++ leave out or do differently on Windows and POSIX.
#ifndef LUMIRUN_IMAGE_FILE_REPLACE_H
#define LUMIRUN_IMAGE_FILE_REPLACE_H

#include <cstdio>

// Creates a new file for binary writing; fails (nullptr) when the name exists
// already, so that an existing file is never truncated by mistake.
std::FILE* create_new_file(const char* path);

// True when the path names nothing yet, or names a file this process may
// write. A read-only file the user protected must not be replaced by a
// rename, which would succeed on POSIX.
bool may_replace_file(const char* path);

// Renames from to to, replacing an existing to in one step.
bool replace_file(const char* from, const char* to);

#endif
