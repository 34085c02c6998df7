#include "image/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "image/temporary_files.h"

namespace {

void remove_temporary(const std::string& path)
{
    unlink(path.c_str());
    unregister_temporary(path);
}

std::string system_error(int code)
{
    return std::strerror(code);
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a symbolic link names, read relative to the link's folder.
bool follow_link(const std::string& link, std::string* next)
{
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink(link.c_str(), &buffer[0], buffer.size());
    if (length < 0 || static_cast<std::size_t>(length) >= buffer.size())
        return false;
    buffer.resize(static_cast<std::size_t>(length));
    *next = buffer[0] == '/' || link.find('/') == std::string::npos ? buffer : folder_of(link) + "/" + buffer;
    return true;
}

// Owner and group as far as the process may set them: only root may give a
// file away, and anyone may keep its group if a member of it; failing that
// the new file stays the process's own, as a new file would be.
bool keep_owner(int fd, const struct stat& replaced)
{
    return fchown(fd, replaced.st_uid, replaced.st_gid) == 0
           || fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) == 0;
}

}  // namespace

bool find_save_target(const char* path, save_target* target, std::string* error)
{
    // What the path leads to decides, not a link's text: /dev/stdout and
    // /dev/fd/N name a pipe as "pipe:[N]", which is no file name.
    struct stat followed {};
    if (stat(path, &followed) == 0 && !S_ISREG(followed.st_mode) && !S_ISDIR(followed.st_mode)) {
        if (access(path, W_OK) != 0) {
            *error = system_error(errno);
            return false;
        }
        *target = save_target{path, true, true};
        return true;
    }
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                *error = system_error(errno);
                return false;
            }
            // A new file: its folder must be there, or the work before the
            // save would be lost on it.
            struct stat folder {};
            if (stat(folder_of(current).c_str(), &folder) != 0) {
                *error = system_error(errno);
                return false;
            }
            if (!S_ISDIR(folder.st_mode)) {
                *error = system_error(ENOTDIR);
                return false;
            }
            *target = save_target{current, false, false};
            return true;
        }
        if (S_ISLNK(status.st_mode)) {
            if (links == 40 || !follow_link(current, &current)) {
                *error = system_error(links == 40 ? ELOOP : errno);
                return false;
            }
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            *error = system_error(EISDIR);
            return false;
        }
        if (access(current.c_str(), W_OK) != 0) {
            *error = system_error(errno);
            return false;
        }
        *target = save_target{current, true, !S_ISREG(status.st_mode)};
        return true;
    }
}

std::FILE* open_in_place(const save_target& target, std::string* error)
{
    const int fd = open(target.path.c_str(), O_WRONLY | O_NOCTTY);
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        *error = system_error(errno);
        if (fd >= 0)
            close(fd);
    }
    return file;
}

std::FILE* create_temporary_for(const save_target& target, std::string* temporary, std::string* error)
{
    struct stat replaced {};
    const bool keep = target.exists && stat(target.path.c_str(), &replaced) == 0;
    std::random_device entropy;
    std::mt19937 random(entropy());
    const std::string folder = folder_of(target.path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "/.lumirun-%08x.tmp", static_cast<unsigned>(random()));
        *temporary = folder + name;
        const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL, keep ? 0600 : 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            *error = system_error(errno);
            return nullptr;
        }
        register_temporary(*temporary);
        if (keep) {
            // Owner first: changing it clears the set-user-ID bits.
            keep_owner(fd, replaced);
            if (fchmod(fd, replaced.st_mode & 07777) != 0) {
                *error = system_error(errno);
                close(fd);
                remove_temporary(*temporary);
                return nullptr;
            }
        }
        std::FILE* file = fdopen(fd, "wb");
        if (!file) {
            *error = system_error(errno);
            close(fd);
            remove_temporary(*temporary);
        }
        return file;
    }
    *error = system_error(EEXIST);
    return nullptr;
}

bool flush_to_disk(std::FILE* file, std::string* error)
{
    if (std::fflush(file) != 0 || fsync(fileno(file)) != 0) {
        *error = system_error(errno);
        return false;
    }
    return true;
}

bool replace_with(const std::string& temporary, const save_target& target, std::string* error)
{
    if (std::rename(temporary.c_str(), target.path.c_str()) != 0) {
        *error = system_error(errno);
        return false;
    }
    // The rename is an entry of the folder: without this a crash could
    // still bring the old file back. The picture is saved either way.
    const int folder = open(folder_of(target.path).c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

bool same_file(const char* first, const char* second)
{
    struct stat a {};
    struct stat b {};
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool is_standard_input(const char* path)
{
    struct stat input {};
    struct stat named {};
    return fstat(STDIN_FILENO, &input) == 0 && S_ISREG(input.st_mode) && stat(path, &named) == 0
           && input.st_dev == named.st_dev && input.st_ino == named.st_ino;
}
