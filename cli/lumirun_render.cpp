// lumirun-render: the viewer's open, render and "Save As..." in one command,
// from a JPEG file to a rendered JPEG file, with the same raster and the
// same written bytes as the window program; or, with --frames, a movie of
// renders whose speed or observer moves.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/render_options.h"
#include "pipeline/movie_job.h"
#include "pipeline/picture_job.h"
#include "pipeline/standard_streams.h"

namespace {

constexpr const char* program_name = "lumirun-render";

}  // namespace

int main(int argc, char** argv)
{
    const parse_result parsed = parse_render_arguments(argc, argv);
    if (parsed.outcome == parse_outcome::help) {
        std::fputs(render_usage, stdout);
        return 0;
    }
    if (parsed.outcome == parse_outcome::version) {
        std::fputs(render_version, stdout);
        return 0;
    }
    if (parsed.outcome == parse_outcome::usage_error) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program_name, parsed.error.c_str(),
                     program_name);
        return 2;
    }

    // Refused as a usage error before anything is read or written.
    const std::string same = same_file_refusal(parsed.options);
    if (!same.empty()) {
        std::fprintf(stderr, "%s: %s\n", program_name, same.c_str());
        return 2;
    }

    progress_bar bar(stderr);
    const bool show_bar = !parsed.options.quiet && is_terminal(stderr);
    std::vector<std::string> messages;
    const int status = parsed.options.frames > 0
                           ? render_movie(parsed.options, show_bar ? &bar : nullptr, &messages)
                           : render_file(parsed.options, show_bar ? &bar : nullptr, &messages);
    bar.finish();
    for (const std::string& message : messages)
        std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
    return status;
}
