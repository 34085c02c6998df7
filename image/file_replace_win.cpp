#include "image/file_replace.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

std::FILE* create_new_file(const char* path)
{
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file)
        _close(fd);
    return file;
}

bool may_replace_file(const char* path)
{
    return _access(path, 0) != 0 || _access(path, 2) == 0;
}

bool replace_file(const char* from, const char* to)
{
    // std::rename refuses an existing target on Windows.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
