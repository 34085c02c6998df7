// lumirun-render: the viewer's open, render and "Save As..." in one command,
// from a JPEG file to a rendered JPEG file, with the same raster and the
// same written bytes as the window program.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define LUMIRUN_ISATTY(fd) _isatty(fd)
#define LUMIRUN_FILENO(stream) _fileno(stream)
#else
#include <unistd.h>
#define LUMIRUN_ISATTY(fd) isatty(fd)
#define LUMIRUN_FILENO(stream) fileno(stream)
#endif

#include "cli/progress_bar.h"
#include "cli/render_options.h"
#include "image/alert.h"
#include "image/jpeg_file.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"
#include "render/status.h"

namespace {

constexpr const char* program_name = "lumirun-render";

progress_bar* active_bar = nullptr;

void print_error(const std::string& message)
{
    if (active_bar)
        active_bar->finish();
    std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
}

// The picture parts' boxes become lines on standard error.
void print_warning_box(const char* text, const char* /*caption*/)
{
    print_error(text);
}

std::int32_t show_progress(const char* text)
{
    if (active_bar)
        active_bar->update(text);
    return 0;
}

int run(const render_options& options)
{
    reset_observer();
    if (load_picture(options.input.c_str()) != 0) {
        print_error("Error opening file " + options.input + ".");
        return 1;
    }
    if (options.observer_given)
        set_observer(options.observer_x, options.observer_y);
    else
        set_observer(0, source_height() / 2);

    render_relativistic(options.direction, static_cast<double>(options.speed_fraction), options.quality);
    if (!rendered_image.pixels)
        return 1;  // the renderer has said why

    if (save_picture(options.output.c_str()) != 0) {
        print_error("Error saving file " + options.output + ".");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const parse_result parsed = parse_render_arguments(argc, argv);
    if (parsed.outcome == parse_outcome::help) {
        std::fputs(render_usage, stdout);
        return 0;
    }
    if (parsed.outcome == parse_outcome::usage_error) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program_name, parsed.error.c_str(),
                     program_name);
        return 2;
    }

    set_warning_box_handler(print_warning_box);
    progress_bar bar(stderr);
    if (!parsed.options.quiet && LUMIRUN_ISATTY(LUMIRUN_FILENO(stderr)))
        active_bar = &bar;
    set_status_sink(show_progress);

    const int status = run(parsed.options);
    bar.finish();
    active_bar = nullptr;
    free_images();
    return status;
}
