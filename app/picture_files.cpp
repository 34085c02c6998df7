#include "app/picture_files.h"

#include <cstdio>
#include <string>
#include <utility>

#include "app/alert.h"
#include "app/picture_store.h"
#include "image/file_handle.h"
#include "image/jpeg_file.h"
#include "pipeline/picture_formats.h"

namespace {

void show_box_if_due(const std::string& message)
{
    if (!message.empty())
        show_warning_box(message.c_str(), "Error!");
}

}  // namespace

std::int32_t load_picture(const char* path)
{
    std::string reason;
    const file_handle file = open_for_reading(path, &reason);
    if (!file) {
        // The box has always named the file alone, without the system's reason.
        show_box_if_due(std::string("Error: Can't open file ") + path + " for reading.");
        return 1;
    }
    picture_read read = read_picture_stream(file.get(), path, true);
    for (const read_message& message : read.messages) {
        // Said in a box: standard output is nowhere to be seen in a window.
        // The library's words go where its own handler always put them.
        if (message.kind == read_message_kind::failure)
            show_box_if_due(message.text);
        else
            std::fprintf(stderr, "%s\n", message.text.c_str());
    }
    // Kept even after a failure: the rows decoded before it are shown.
    if (read.picture.pixels)
        source_image = std::move(read.picture);
    return read.ok ? 0 : 1;
}

std::int32_t save_picture(const char* path)
{
    const jpeg_write write = write_jpeg_file(path, rendered_image, 100);
    show_box_if_due(write.message);
    return write.result;
}
