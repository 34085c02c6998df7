#include "image/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

std::FILE* create_new_file(const char* path)
{
#ifdef _WIN32
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file)
        _close(fd);
#else
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
#endif
    return file;
}

bool may_replace_file(const char* path)
{
#ifdef _WIN32
    return _access(path, 0) != 0 || _access(path, 2) == 0;
#else
    return access(path, F_OK) != 0 || access(path, W_OK) == 0;
#endif
}

bool replace_file(const char* from, const char* to)
{
#ifdef _WIN32
    // std::rename refuses an existing target on Windows.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from, to) == 0;
#endif
}
