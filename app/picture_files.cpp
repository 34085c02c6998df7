#include "app/picture_files.h"

#include <cstdio>
#include <utility>

#include "app/alert.h"
#include "app/picture_store.h"
#include "image/jpeg_file.h"

namespace {

void show_box_if_due(const std::string& message)
{
    if (!message.empty())
        show_warning_box(message.c_str(), "Error!");
}

}  // namespace

std::int32_t load_picture(const char* path)
{
    jpeg_read read = read_jpeg_file(path);
    // The library's words go where its own handler always put them.
    for (const std::string* said : {&read.library_warning, &read.library_error}) {
        if (!said->empty())
            std::fprintf(stderr, "%s\n", said->c_str());
    }
    show_box_if_due(read.message);
    // Said in the box: standard output is nowhere to be seen in a window.
    if (read.too_large)
        show_box_if_due(too_large_text(read.picture));
    // Kept even after a failure: the rows decoded before it are shown.
    if (read.picture.pixels)
        source_image = std::move(read.picture);
    return read.result;
}

std::int32_t save_picture(const char* path)
{
    const jpeg_write write = write_jpeg_file(path, rendered_image, 100);
    show_box_if_due(write.message);
    return write.result;
}
