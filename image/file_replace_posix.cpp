#include "image/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* create_new_file(const char* path)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
}

bool may_replace_file(const char* path)
{
    return access(path, F_OK) != 0 || access(path, W_OK) == 0;
}

bool replace_file(const char* from, const char* to)
{
    return std::rename(from, to) == 0;
}
