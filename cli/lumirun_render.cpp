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
#include "cli/render_command.h"
#include "cli/render_options.h"
#include "image/alert.h"
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

    std::string error;
    const int status = render_file(parsed.options, &error);
    if (status != 0 && !error.empty())
        print_error(error);
    bar.finish();
    active_bar = nullptr;
    return status;
}
