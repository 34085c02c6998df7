// lumirun-render: the viewer's open, render and "Save As..." in one command,
// from a JPEG file to a rendered JPEG file, with the same raster and the
// same written bytes as the window program; or, with --frames, a movie of
// renders whose speed or observer moves.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/render_options.h"
#include "pipeline/movie_job.h"
#include "pipeline/picture_job.h"
#include "image/temporary_files.h"
#include "pipeline/standard_streams.h"

namespace {

constexpr const char* program_name = "lumirun-render";

// Prints text on standard output: 0, or 1 with the reason when it could not
// all be written (a full disk, a closed stream).
int print(const char* text)
{
    errno = 0;
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    const int code = errno;
    std::fprintf(stderr, "%s: Error writing standard output: %s.\n", program_name,
                 code != 0 ? std::strerror(code) : "Output file write error");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const parse_result parsed = parse_render_arguments(argc, argv);
    if (parsed.outcome == parse_outcome::help)
        return print(render_usage);
    if (parsed.outcome == parse_outcome::version)
        return print(render_version);
    if (parsed.outcome == parse_outcome::usage_error) {
        std::fprintf(stderr, "%s: %s\n%s: Try '%s --help' for more information.\n", program_name,
                     parsed.error.c_str(), program_name, program_name);
        return 2;
    }
    // A signal ends the program without leaving a temporary file behind.
    remove_temporaries_on_signals();

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
