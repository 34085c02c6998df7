// libFuzzer target for lumirun-render's command line: the bytes, split at
// each NUL into arguments, go through the option parser as argv would, and
// every argument through the frame-pattern parser. What the parser accepts
// must hold together: values within their ranges, a movie's output of a
// known kind, and frame names that differ from frame to frame.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/render_options.h"
#include "pipeline/movie_frames.h"
#include "pipeline/picture_formats.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The pattern parser on one name: a frame pattern names each frame
// differently and only grows by the number's digits; anything else is
// left as it is.
void check_pattern(const std::string& name)
{
    const movie_output kind = movie_output_kind(name);
    const std::string first = frame_file_name(name, 0);
    const std::string last = frame_file_name(name, max_movie_frames - 1);
    if (kind != movie_output::frame_files) {
        require(first == name && last == name);
        return;
    }
    require(first != last && first != frame_file_name(name, 1));
    require(last.size() <= name.size() + 10 && first.size() <= name.size() + 10);
}

void check_parsed(const parse_result& result)
{
    if (result.outcome == parse_outcome::usage_error) {
        require(!result.error.empty() && result.error.find('\n') == std::string::npos);
        return;
    }
    if (result.outcome != parse_outcome::run)
        return;
    const render_options& o = result.options;
    require(!o.input.empty() && !o.output.empty());
    require(o.speed_fraction >= 0.0f && o.speed_fraction < 1.0f);
    require(o.direction >= 0 && o.direction <= 2 && o.quality >= 1 && o.quality <= 4);
    require(o.colour.temperature >= 1000.0 && o.colour.temperature <= 40000.0);
    require(o.colour.exposure >= -20.0 && o.colour.exposure <= 20.0);
    require(o.frames >= 0 && o.frames <= max_movie_frames);
    require(o.fps >= 0.1 && o.fps <= 1000.0);
    // --lossless is for WebP: a picture, or a movie.
    if (o.frames == 0) {
        require(!o.speed_range && !o.observer_range && !o.overwrite);
        require(!o.lossless || o.format == picture_format::webp);
        return;
    }
    require(o.speed_range || o.observer_range);
    require(o.speed_fraction_to >= 0.0f && o.speed_fraction_to < 1.0f);
    const movie_output kind = movie_output_kind(o.output);
    require(kind != movie_output::unknown);
    require(kind == movie_output::webp || !o.lossless);
    require(kind != movie_output::frame_files || frame_file_name(o.output, 0) != o.output);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    std::vector<std::string> arguments{"lumirun-render"};
    std::string current;
    for (std::size_t i = 0; i < size && arguments.size() < 64; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    arguments.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    check_parsed(parse_render_arguments(static_cast<int>(argv.size()), argv.data()));
    for (std::size_t i = 1; i < arguments.size(); ++i)
        check_pattern(arguments[i]);
    return 0;
}
