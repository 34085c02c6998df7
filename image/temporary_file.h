// What every safe save shares: the new file beside the target, and the
// warning boxes' texts when it cannot be made or finished. (Apart from
// file_replace.h, whose platform files include system headers that have a
// file_handle of their own.)
#ifndef LUMIRUN_IMAGE_TEMPORARY_FILE_H
#define LUMIRUN_IMAGE_TEMPORARY_FILE_H

#include <string>

#include "image/file_handle.h"

// A new file beside path (path + ".~N"), never one that exists already;
// closed (false) when none could be made.
file_handle create_temporary_beside(const char* path, std::string* temporary_path);

std::string cannot_create_text(const char* path);
std::string cannot_write_text(const char* path, const char* reason);

#endif
