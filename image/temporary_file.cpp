#include "image/temporary_file.h"

#include "image/file_replace.h"

#include <cerrno>

file_handle create_temporary_beside(const char* path, std::string* temporary_path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary_path = std::string(path) + ".~" + std::to_string(attempt);
        errno = 0;
        file_handle file(create_new_file(temporary_path->c_str()));
        if (file || errno != EEXIST)
            return file;
    }
    return file_handle();
}

std::string cannot_create_text(const char* path)
{
    return std::string("Error: Can't open file ") + path + " for writing.  Disk full?  Bad file name?.";
}

std::string cannot_write_text(const char* path, const char* reason)
{
    return std::string("Error: Can't write file ") + path + ".\n" + reason;
}
