#include "pipeline/program_pipe.h"

#include <csignal>
#include <cstdlib>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

std::string find_on_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
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

std::string shell_quote(const std::string& argument)
{
    std::string quoted = "'";
    for (const char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::FILE* open_program_pipe(const std::string& command)
{
    // A reader that exits early would otherwise end this process with
    // SIGPIPE before its error could be reported.
    std::signal(SIGPIPE, SIG_IGN);
    return popen(command.c_str(), "w");
}

int close_program_pipe(std::FILE* pipe)
{
    const int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
