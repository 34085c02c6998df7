#include "image/file_replace.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "image/temporary_files.h"
#include "image/windows_error.h"

namespace {

// The path as the system's wide calls take it.
std::wstring wide_path(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.pop_back();
    return wide;
}

// The ANSI file calls take paths of at most MAX_PATH - 1 characters once
// made full (the current folder before a relative name), not as typed.
bool fits(const std::string& path, std::string* error)
{
    const std::wstring wide = wide_path(path);
    const DWORD full = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (path.size() < MAX_PATH && full != 0 && full <= MAX_PATH)
        return true;
    *error = "the path is longer than the " + std::to_string(MAX_PATH - 1) + " characters Windows programs can open";
    return false;
}

// A device (NUL, CON, a serial port) or a pipe: written in place.
bool is_device(const std::string& path)
{
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    return path.substr(0, slash + 1 == path.size() ? slash + 1 : slash);
}

}  // namespace

bool find_save_target(const char* path, save_target* target, std::string* error)
{
    if (is_device(path)) {
        *target = save_target{path, true, true};
        return true;
    }
    if (!fits(path, error))
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) {
            *error = windows_error_text(code);
            return false;
        }
        *target = save_target{path, false, false};
        return true;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *error = windows_error_text(ERROR_DIRECTORY);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        *error = windows_error_text(ERROR_ACCESS_DENIED);
        return false;
    }
    *target = save_target{path, true, false};
    return true;
}

std::FILE* open_in_place(const save_target& target, std::string* error)
{
    // Only devices and pipes are written in place here: nothing to keep.
    std::FILE* file = std::fopen(target.path.c_str(), "wb");
    if (!file)
        *error = std::strerror(errno);
    return file;
}

std::FILE* create_temporary_for(const save_target& target, std::string* temporary, std::string* error)
{
    std::random_device entropy;
    std::mt19937 random(entropy());
    std::string folder = folder_of(target.path);
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/' && folder.back() != ':')
        folder += '\\';
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "~lumirun-%08x.tmp", static_cast<unsigned>(random()));
        *temporary = folder + name;
        if (!fits(*temporary, error))
            return nullptr;
        const int fd = _open(temporary->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            *error = std::strerror(errno);
            return nullptr;
        }
        register_temporary(*temporary);
        _close(fd);
        // Opened again so that it can be deleted while open: a console
        // event's handler must be able to remove it while the work writes.
        const HANDLE handle = CreateFileA(temporary->c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const int reopened = handle == INVALID_HANDLE_VALUE
                                 ? -1
                                 : _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        std::FILE* file = reopened < 0 ? nullptr : _fdopen(reopened, "wb");
        if (!file) {
            *error = handle == INVALID_HANDLE_VALUE ? windows_error_text(GetLastError()) : std::strerror(errno);
            if (reopened >= 0)
                _close(reopened);
            else if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
            std::remove(temporary->c_str());
            unregister_temporary(*temporary);
        }
        return file;
    }
    *error = std::strerror(EEXIST);
    return nullptr;
}

bool flush_to_disk(std::FILE* file, std::string* error)
{
    if (std::fflush(file) != 0 || _commit(_fileno(file)) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool replace_with(const std::string& temporary, const save_target& target, std::string* error)
{
    // ReplaceFile keeps the replaced file's attributes, security and
    // creation time. Where it cannot (a target gone meanwhile; Wine with a
    // path in Unix form), a plain rename over the target still saves.
    if (target.exists && ReplaceFileA(target.path.c_str(), temporary.c_str(), nullptr,
                                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    if (MoveFileExA(temporary.c_str(), target.path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *error = windows_error_text(GetLastError());
    return false;
}

namespace {

// The volume and file number of an existing file or folder.
bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION* information)
{
    const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(file, information) != 0;
    CloseHandle(file);
    return known;
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh
           && a.nFileIndexLow == b.nFileIndexLow;
}

// Wine answers GetFileInformationByHandle for no handle it made from a
// file descriptor (standard input redirected by a POSIX shell), and tells
// no volume for it: there the file number, the size and the time of the
// last write must all match.
bool same_unnamed_file(HANDLE file, const BY_HANDLE_FILE_INFORMATION& named)
{
    FILE_ID_INFO id{};
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)
        || !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
        || !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return false;
    ULONGLONG number = 0;
    std::memcpy(&number, id.FileId.Identifier, sizeof number);
    const auto joined = [](DWORD high, DWORD low) { return ULONGLONG{high} << 32 | low; };
    if (number != joined(named.nFileIndexHigh, named.nFileIndexLow))
        return false;
    if (id.VolumeSerialNumber != 0)
        return static_cast<DWORD>(id.VolumeSerialNumber) == named.dwVolumeSerialNumber;
    return static_cast<ULONGLONG>(standard.EndOfFile.QuadPart) == joined(named.nFileSizeHigh, named.nFileSizeLow)
           && static_cast<ULONGLONG>(basic.LastWriteTime.QuadPart)
                  == joined(named.ftLastWriteTime.dwHighDateTime, named.ftLastWriteTime.dwLowDateTime);
}

}  // namespace

bool same_file(const char* first, const char* second)
{
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return file_identity(first, &a) && file_identity(second, &b) && same_identity(a, b);
}

bool is_standard_input(const char* path)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION named{};
    if (input == nullptr || input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_DISK
        || !file_identity(path, &named))
        return false;
    BY_HANDLE_FILE_INFORMATION read{};
    if (GetFileInformationByHandle(input, &read) != 0)
        return same_identity(read, named);
    return same_unnamed_file(input, named);
}

std::string windows_error_text(unsigned long code)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'
                                || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}
