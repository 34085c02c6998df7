#include "pipeline/program_pipe.h"

#include <cstdlib>

#include <windows.h>

std::string find_on_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    std::size_t start = 0;
    while (start < folders.size()) {
        std::size_t end = folders.find(';', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty()) {
            const std::string candidate = folder + "\\" + name + ".exe";
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

std::string shell_quote(const std::string& argument)
{
    // cmd.exe: a file name cannot hold a double quote.
    return "\"" + argument + "\"";
}

std::FILE* open_program_pipe(const std::string& command)
{
    // cmd.exe /c drops the first and the last quote of a line that starts
    // with one: the whole line is quoted once more.
    return _popen(("\"" + command + "\"").c_str(), "wb");
}

int close_program_pipe(std::FILE* pipe)
{
    return _pclose(pipe);
}
