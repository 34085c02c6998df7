#include "pipeline/program_pipe.h"

#include <cstdlib>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "image/temporary_files.h"
#include "image/windows_error.h"

namespace {

bool ends_in_exe(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".exe";
}

// One argument as the C runtime's parser (CommandLineToArgvW) reads it
// back: quoted when it holds a blank or a quote or is empty; a quote and
// the backslashes before it escaped, and the backslashes before the
// closing quote doubled.
std::string quoted(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

void close_handle(HANDLE* handle)
{
    if (*handle)
        CloseHandle(*handle);
    *handle = nullptr;
}

}  // namespace

struct program_pipe::state {
    HANDLE process = nullptr;
    HANDLE errors = nullptr;  // our end of its standard error
    std::thread reader;       // reads it into messages
    std::string messages;
    int status = -1;
};

namespace {

void read_messages(program_pipe::state* s)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(s->errors, buffer, sizeof buffer, &got, nullptr) && got > 0)
        keep_tail(&s->messages, buffer, got);
}

}  // namespace

std::string find_on_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    const std::string file = ends_in_exe(name) ? name : name + ".exe";
    std::size_t start = 0;
    while (start < folders.size()) {
        std::size_t end = folders.find(';', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty()) {
            const std::string candidate = folder + "\\" + file;
            if (is_program(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

bool is_program(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool names_a_folder(const std::string& name)
{
    return name.find_first_of("/\\:") != std::string::npos;
}

std::string absolute_path(const std::string& path)
{
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

program_pipe::program_pipe() : state_(std::make_unique<state>()) {}

program_pipe::~program_pipe()
{
    if (state_->process)
        finish();
}

bool program_pipe::start(const std::string& program, const std::vector<std::string>& arguments,
                         std::string* reason)
{
    // The program's ends are inherited, ours not.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input_read = nullptr, input_write = nullptr, errors_read = nullptr, errors_write = nullptr;
    HANDLE null_device = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                     OPEN_EXISTING, 0, nullptr);
    const bool piped = null_device != INVALID_HANDLE_VALUE && CreatePipe(&input_read, &input_write, &inherited, 0)
                       && CreatePipe(&errors_read, &errors_write, &inherited, 0)
                       && SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0)
                       && SetHandleInformation(errors_read, HANDLE_FLAG_INHERIT, 0);
    if (null_device == INVALID_HANDLE_VALUE)
        null_device = nullptr;
    std::string command = "\"" + program + "\"";  // a file name holds no quote
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_read;
    startup.hStdOutput = null_device;
    startup.hStdError = errors_write;
    PROCESS_INFORMATION started{};
    // The file itself as the application: no search of the current folder
    // or the PATH, and no cmd.exe to read the line.
    const bool ran = piped
                     && CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                       &startup, &started);
    const DWORD error = GetLastError();
    close_handle(&input_read);
    close_handle(&errors_write);
    close_handle(&null_device);
    if (!ran) {
        *reason = windows_error_text(error);
        close_handle(&input_write);
        close_handle(&errors_read);
        return false;
    }
    CloseHandle(started.hThread);
    register_child_program(reinterpret_cast<std::intptr_t>(started.hProcess));
    state_->process = started.hProcess;
    state_->errors = errors_read;
    try {
        state_->reader = std::thread(read_messages, state_.get());
    } catch (const std::system_error&) {
        // No thread to be had: read in finish(), once the input is closed.
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(input_write), 0);
    input_ = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (!input_) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(input_write);
    }
    return true;
}

int program_pipe::finish()
{
    state& s = *state_;
    if (!s.process)
        return s.status;
    if (input_)
        std::fclose(input_);
    input_ = nullptr;
    if (s.reader.joinable())
        s.reader.join();
    else
        read_messages(&s);
    close_handle(&s.errors);
    WaitForSingleObject(s.process, INFINITE);
    DWORD code = 0;
    // An NTSTATUS error (an access violation, a termination) is no exit.
    if (GetExitCodeProcess(s.process, &code))
        s.status = code >= 0xC0000000u ? -1 : static_cast<int>(code);
    // A console event's handler that took the handle closes nothing: the
    // program is ending.
    if (unregister_child_program())
        CloseHandle(s.process);
    s.process = nullptr;
    return s.status;
}

std::string program_pipe::messages() const
{
    return state_->messages;
}
