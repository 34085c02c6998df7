// Owns an open stdio stream and closes it when it goes out of scope.
#ifndef LUMIRUN_IMAGE_FILE_HANDLE_H
#define LUMIRUN_IMAGE_FILE_HANDLE_H

#include <cstdio>

class file_handle {
public:
    file_handle() = default;
    explicit file_handle(std::FILE* file) : file_(file) {}
    ~file_handle() { close(); }

    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    file_handle(file_handle&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    file_handle& operator=(file_handle&& other) noexcept
    {
        if (this != &other) {
            close();
            file_ = other.file_;
            other.file_ = nullptr;
        }
        return *this;
    }

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // False when the stream held unwritten data that could not be written.
    bool close()
    {
        if (!file_)
            return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_ = nullptr;
};

#endif
