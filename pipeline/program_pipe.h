// Running another program (ffmpeg) the way the platforms do it: finding it,
// starting exactly that file with an argument vector (no shell, no search
// of the current folder), a pipe to its standard input, and its standard
// error read into memory while we write, so that neither side blocks.
#ifndef LUMIRUN_PIPELINE_PROGRAM_PIPE_H
#define LUMIRUN_PIPELINE_PROGRAM_PIPE_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The program name names on the PATH (name.exe on Windows, unless name ends
// in .exe); empty when there is none.
std::string find_on_path(const std::string& name);

// True when path names a file that can be run.
bool is_program(const std::string& path);

// True when name holds a folder part ("./ffmpeg", "bin/ffmpeg"; on Windows
// also a backslash or a drive): the file itself, not a search of the PATH.
bool names_a_folder(const std::string& name);

// The path with the current folder before a relative one.
std::string absolute_path(const std::string& path);

// A program with a pipe to its standard input that takes bytes unchanged,
// its standard output on the null device, and the end of what it writes to
// its standard error kept. While it runs it is noted for the signal
// handler (image/temporary_files.h), which stops it. A program that stops
// reading makes writes fail rather than end this process.
class program_pipe {
public:
    program_pipe();
    ~program_pipe();  // a running program gets its input closed and is waited for
    program_pipe(const program_pipe&) = delete;
    program_pipe& operator=(const program_pipe&) = delete;

    // Starts the file program (as found by the caller) with arguments (its
    // own name comes first by itself); false with the system's reason.
    bool start(const std::string& program, const std::vector<std::string>& arguments, std::string* reason);

    // Its standard input, while it runs.
    std::FILE* input() const { return input_; }

    // Closes the input and waits for the program: its exit status, -1 when
    // it did not exit normally. Its messages are complete afterwards.
    int finish();

    // What the program wrote to its standard error, at most its last 64 KiB.
    std::string messages() const;

    struct state;

private:
    std::unique_ptr<state> state_;
    std::FILE* input_ = nullptr;
};

// The last count lines of text (line ends \n or \r), joined by " / ", with
// control characters written \xHH; empty when it holds none.
std::string last_lines(const std::string& text, std::size_t count);

// Appends data to tail, keeping its last 64 KiB: the platforms' readers.
void keep_tail(std::string* tail, const char* data, std::size_t size);

#endif
