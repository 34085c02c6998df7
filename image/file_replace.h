// The file operations a safe save needs, which standard C and C++ leave out
// or which Windows and POSIX do differently. Errors come back as the
// system's own text, one line.
#ifndef LUMIRUN_IMAGE_FILE_REPLACE_H
#define LUMIRUN_IMAGE_FILE_REPLACE_H

#include <cstdio>
#include <string>

// What a save writes to.
struct save_target {
    // The file to replace: the path itself, or the file its symbolic links
    // name (the links stay links).
    std::string path;
    bool exists = false;
    // Not a regular file (a pipe, a device): written in place, as a rename
    // would put a plain file where it was.
    bool in_place = false;
};

// False with *error when nothing can be saved there: a path the platform's
// file calls cannot take, a folder, a file this process may not write (a
// rename would replace even a read-only file on POSIX), a loop of links.
bool find_save_target(const char* path, save_target* target, std::string* error);

// Opens an in-place target for writing, without truncating a pipe's reader.
std::FILE* open_in_place(const save_target& target, std::string* error);

// A new file in the target's folder, created exclusively under a short name
// with a random part (so that neither a long target name nor files left by
// an earlier crash can block a save), with the mode of the file it will
// replace (and its owner and group where the process may set them). Its
// name in *temporary, noted (image/temporary_files.h) from the moment it
// exists, so that a signal removes it: the caller forgets it once it is
// renamed or removed.
std::FILE* create_temporary_for(const save_target& target, std::string* temporary, std::string* error);

// Puts the data of a written file on the disk, not only in the system's
// cache, so that a crash after the rename cannot leave an empty file.
bool flush_to_disk(std::FILE* file, std::string* error);

// Puts the temporary file in the target's place in one step, keeping what
// the platform keeps of the replaced file, and makes the rename itself
// durable where the platform allows it.
bool replace_with(const std::string& temporary, const save_target& target, std::string* error);

// True when both paths name one existing file: the same device and file
// number, so also through symbolic and hard links.
bool same_file(const char* first, const char* second);

// True when path names the file standard input reads (redirected from a
// file: the same device and file number, or on Windows the same volume and
// file index). A pipe or a terminal is no file and names nothing.
bool is_standard_input(const char* path);

#endif
