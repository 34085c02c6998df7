// Running another program (ffmpeg) with a pipe to its standard input, the
// part the platforms do differently: finding it, quoting for the shell the
// system's popen runs, and its exit status.
#ifndef LUMIRUN_PIPELINE_PROGRAM_PIPE_H
#define LUMIRUN_PIPELINE_PROGRAM_PIPE_H

#include <cstdio>
#include <string>

// The program name names on the PATH (name.exe on Windows); empty when
// there is none.
std::string find_on_path(const std::string& name);

// True when path names a file that can be run.
bool is_program(const std::string& path);

// argument quoted for the shell popen runs (sh, or cmd.exe on Windows).
std::string shell_quote(const std::string& argument);

// Runs command (its words quoted) with a pipe to its standard input that
// takes bytes unchanged. A program that stops reading makes writes fail
// rather than end this process. Null when it could not be started.
std::FILE* open_program_pipe(const std::string& command);

// Closes the pipe and waits for the program: its exit status, -1 when it
// did not exit normally.
int close_program_pipe(std::FILE* pipe);

#endif
