// How every picture file is saved: the target checked before any work is
// lost on it, the data written to a new file beside it and put in its place
// only when complete (see write_jpeg_file for the whole contract), and the
// warning boxes' texts when that fails, one line with the system's reason.
#ifndef LUMIRUN_IMAGE_SAFE_SAVE_H
#define LUMIRUN_IMAGE_SAFE_SAVE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

struct save_result {
    std::int32_t result = 1;  // 0 success, 1 failure
    std::string message;      // the warning box's text, when one is due
};

// Writes the whole file into the stream; false with the reason otherwise.
using stream_writer = std::function<bool(std::FILE* file, std::string* reason)>;

// Empty when a save to path could be tried; otherwise its box's text (a
// folder, a read-only file, a path the platform cannot take).
std::string check_save_target(const char* path);

// check_save_target, and for a file that a save replaces, a new file
// created and removed again in its folder: a folder that cannot be written
// (read-only, full of files, out of quota for new ones) is found before the
// work, not after it.
std::string probe_save_target(const char* path);

// Writes through a temporary file (noted in image/temporary_files.h while it
// exists, so that a signal removes it), or in place for a pipe or a device.
save_result save_file(const char* path, const stream_writer& write);

// A file written in several steps (a movie, frame by frame, or by another
// program) under the same rules: refused as save_file refuses, written to a
// new file beside the target (noted in image/temporary_files.h while it
// exists) or in place for a pipe or a device, and put
// in the target's place by commit() only when complete. Destroyed
// uncommitted, it removes what it wrote.
class streamed_save {
public:
    explicit streamed_save(const char* path);
    ~streamed_save();
    streamed_save(const streamed_save&) = delete;
    streamed_save& operator=(const streamed_save&) = delete;

    // Empty when the file is open; otherwise the box's text.
    const std::string& refusal() const { return refusal_; }
    std::FILE* file() const { return file_; }
    // The name being written: the new file's, or the target's in place.
    const std::string& written_name() const { return written_; }
    // Closes the stream, so that another program may write the name.
    bool close_stream(std::string* reason);

    // Flushes (to the disk for a new file), closes and renames.
    save_result commit();

private:
    std::string path_;
    std::string written_;
    std::string refusal_;
    std::FILE* file_ = nullptr;
    bool in_place_ = false;
    bool done_ = false;
    std::string target_path_;
    bool target_exists_ = false;
};

std::string cannot_create_text(const char* path, const std::string& reason);
std::string cannot_write_text(const char* path, const std::string& reason);

#endif
