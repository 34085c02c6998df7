// Temporary files that a save is writing, removed when a signal (Ctrl+C, a
// closed terminal, a kill; Windows' console events) ends the program, so that
// none is left behind; and the program (ffmpeg) writing one of them, stopped
// first so that it cannot go on writing after we are gone. Registration is
// safe from any thread; the removal only makes calls that are safe inside a
// signal handler.
#ifndef LUMIRUN_IMAGE_TEMPORARY_FILES_H
#define LUMIRUN_IMAGE_TEMPORARY_FILES_H

#include <cstdint>
#include <string>

// Notes a temporary file; false when it cannot be noted (a path too long, or
// more files at once than the few a program writes).
bool register_temporary(const std::string& path);

// Forgets it again, once it is renamed or removed.
void unregister_temporary(const std::string& path);

// Notes the running program that writes a noted file: its process id
// (POSIX) or process handle (Windows). One at a time.
void register_child_program(std::intptr_t id);

// Forgets it: true when it was noted, and the caller still owns its wait;
// false when a signal's handler has taken it (the program is ending).
bool unregister_child_program();

// Stops the noted program and waits for it, then removes every file noted:
// what the signal handler does.
void remove_registered_temporaries();

// For a command-line program: SIGINT, SIGTERM and SIGHUP (Windows: the
// console's Ctrl+C, Ctrl+Break, close, logoff and shutdown events) remove the
// noted files and end the program as the signal would have, with its
// conventional status; a signal that was ignored at start stays ignored.
// SIGXFSZ is ignored, so that a write past the file size limit fails as any
// write error does and is reported.
void remove_temporaries_on_signals();

// The platform's removal, safe inside a signal handler.
void remove_file_now(const char* path);

// The platform's stop of a program (SIGKILL; TerminateProcess) and wait for
// its end, safe inside a signal handler.
void stop_program_now(std::intptr_t id);

#endif
