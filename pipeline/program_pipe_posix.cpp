#include "pipeline/program_pipe.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "image/temporary_files.h"

extern char** environ;

namespace {

// Both ends of a pipe, closed on exec so that the program gets only the
// ends we hand it.
struct pipe_ends {
    int read = -1;
    int write = -1;
};

bool open_pipe(pipe_ends* ends)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    ends->read = fds[0];
    ends->write = fds[1];
    return true;
}

void close_end(int* fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}

// Reads the program's standard error to its end.
void read_messages(program_pipe::state* s);

}  // namespace

struct program_pipe::state {
    pid_t pid = -1;
    int errors = -1;       // our end of its standard error
    std::thread reader;    // reads it into messages
    std::string messages;
    int status = -1;
};

std::string find_on_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        // An empty entry is the current folder, as the shells read it.
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        if (is_program(candidate))
            return candidate;
        start = end + 1;
    }
    return std::string();
}

bool is_program(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool names_a_folder(const std::string& name)
{
    return name.find('/') != std::string::npos;
}

std::string absolute_path(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::string folder(4096, '\0');
    while (!getcwd(&folder[0], folder.size())) {
        if (errno != ERANGE)
            return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder + (folder.back() == '/' ? "" : "/") + path;
}

program_pipe::program_pipe() : state_(std::make_unique<state>()) {}

program_pipe::~program_pipe()
{
    if (state_->pid > 0)
        finish();
}

bool program_pipe::start(const std::string& program, const std::vector<std::string>& arguments,
                         std::string* reason)
{
    // A reader that exits early would otherwise end this process with
    // SIGPIPE before its error could be reported.
    std::signal(SIGPIPE, SIG_IGN);
    pipe_ends input, errors;
    if (!open_pipe(&input) || !open_pipe(&errors)) {
        *reason = std::strerror(errno);
        close_end(&input.read);
        close_end(&input.write);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors.write, 2);
    // The program gets the signals' defaults (a broken pipe ends it), and
    // no mask of ours.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close_end(&input.read);
    close_end(&errors.write);
    if (failed != 0) {
        *reason = std::strerror(failed);
        close_end(&input.write);
        close_end(&errors.read);
        return false;
    }
    register_child_program(pid);
    state_->pid = pid;
    state_->errors = errors.read;
    try {
        state_->reader = std::thread(read_messages, state_.get());
    } catch (const std::system_error&) {
        // No thread to be had: read in finish(), once the input is closed.
    }
    input_ = fdopen(input.write, "wb");
    if (!input_)
        close_end(&input.write);  // finish() then reports the program's end
    return true;
}

int program_pipe::finish()
{
    state& s = *state_;
    if (s.pid <= 0)
        return s.status;
    if (input_)
        std::fclose(input_);
    input_ = nullptr;
    if (s.reader.joinable())
        s.reader.join();
    else
        read_messages(&s);
    close_end(&s.errors);
    // Waited for without reaping first: until it is reaped its id cannot
    // name another process, which the signal handler could otherwise stop.
    siginfo_t info {};
    while (waitid(P_PID, static_cast<id_t>(s.pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    int status = 0;
    if (unregister_child_program()) {
        while (waitpid(s.pid, &status, 0) < 0 && errno == EINTR) {
        }
        s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    s.pid = -1;
    return s.status;
}

namespace {

void read_messages(program_pipe::state* s)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(s->errors, buffer, sizeof buffer);
        if (got > 0)
            keep_tail(&s->messages, buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
}

}  // namespace

std::string program_pipe::messages() const
{
    return state_->messages;
}
