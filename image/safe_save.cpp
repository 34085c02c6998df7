#include "image/safe_save.h"

#include <cerrno>
#include <cstring>

#include "image/file_handle.h"
#include "image/file_replace.h"
#include "image/temporary_files.h"

namespace {

// "reason" ends the sentence unless it ends in punctuation of its own.
std::string sentence(const std::string& start, const std::string& reason)
{
    const bool closed = !reason.empty() && std::strchr(".?!", reason.back()) != nullptr;
    return start + ": " + reason + (closed ? "" : ".");
}

// Writes and closes: the writer's reason, or the stream's own error, when
// the data did not all reach the file.
bool write_and_close(file_handle* file, bool to_disk, const stream_writer& write, std::string* reason)
{
    if (!write(file->get(), reason))
        return false;
    if (to_disk && !flush_to_disk(file->get(), reason))
        return false;
    errno = 0;
    if (!file->close()) {
        *reason = errno != 0 ? std::strerror(errno) : "Output file write error";
        return false;
    }
    return true;
}

}  // namespace

std::string cannot_create_text(const char* path, const std::string& reason)
{
    return sentence(std::string("Error: Can't open file ") + path + " for writing", reason);
}

std::string cannot_write_text(const char* path, const std::string& reason)
{
    return sentence(std::string("Error: Can't write file ") + path, reason);
}

std::string check_save_target(const char* path)
{
    save_target target;
    std::string reason;
    return find_save_target(path, &target, &reason) ? std::string() : cannot_create_text(path, reason);
}

std::string probe_save_target(const char* path)
{
    save_target target;
    std::string reason;
    if (!find_save_target(path, &target, &reason))
        return cannot_create_text(path, reason);
    if (target.in_place)
        return std::string();
    std::string temporary;
    std::FILE* file = create_temporary_for(target, &temporary, &reason);
    if (!file)
        return cannot_create_text(path, reason);
    std::fclose(file);
    std::remove(temporary.c_str());
    unregister_temporary(temporary);
    return std::string();
}

save_result save_file(const char* path, const stream_writer& write)
{
    save_result saved;
    save_target target;
    std::string reason;
    if (!find_save_target(path, &target, &reason)) {
        saved.message = cannot_create_text(path, reason);
        return saved;
    }
    if (target.in_place) {
        file_handle file(open_in_place(target, &reason));
        if (!file)
            saved.message = cannot_create_text(path, reason);
        else if (!write_and_close(&file, false, write, &reason))
            saved.message = cannot_write_text(path, reason);
        else
            saved.result = 0;
        return saved;
    }

    std::string temporary;
    file_handle file(create_temporary_for(target, &temporary, &reason));
    if (!file) {
        saved.message = cannot_create_text(path, reason);
        return saved;
    }
    if (!write_and_close(&file, true, write, &reason)) {
        std::remove(temporary.c_str());
        saved.message = cannot_write_text(path, reason);
    } else if (!replace_with(temporary, target, &reason)) {
        std::remove(temporary.c_str());
        saved.message = cannot_create_text(path, reason);
    } else {
        saved.result = 0;
    }
    unregister_temporary(temporary);
    return saved;
}

streamed_save::streamed_save(const char* path) : path_(path)
{
    save_target target;
    std::string reason;
    if (!find_save_target(path, &target, &reason)) {
        refusal_ = cannot_create_text(path, reason);
        return;
    }
    in_place_ = target.in_place;
    target_path_ = target.path;
    target_exists_ = target.exists;
    file_ = in_place_ ? open_in_place(target, &reason) : create_temporary_for(target, &written_, &reason);
    if (in_place_)
        written_ = target.path;
    if (!file_)
        refusal_ = cannot_create_text(path, reason);
}

streamed_save::~streamed_save()
{
    if (file_)
        std::fclose(file_);
    if (!done_ && !in_place_ && refusal_.empty()) {
        std::remove(written_.c_str());
        unregister_temporary(written_);
    }
}

bool streamed_save::close_stream(std::string* reason)
{
    if (!file_)
        return true;
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed)
        *reason = errno != 0 ? std::strerror(errno) : "Output file write error";
    return closed;
}

save_result streamed_save::commit()
{
    save_result saved;
    std::string reason;
    if (!refusal_.empty()) {
        saved.message = refusal_;
        return saved;
    }
    if (file_ && !in_place_ && !flush_to_disk(file_, &reason)) {
        saved.message = cannot_write_text(path_.c_str(), reason);
        return saved;
    }
    if (!close_stream(&reason)) {
        saved.message = cannot_write_text(path_.c_str(), reason);
        return saved;
    }
    save_target target{target_path_, target_exists_, in_place_};
    if (!in_place_ && !replace_with(written_, target, &reason)) {
        saved.message = cannot_create_text(path_.c_str(), reason);
        return saved;
    }
    if (!in_place_)
        unregister_temporary(written_);
    done_ = true;
    saved.result = 0;
    return saved;
}
