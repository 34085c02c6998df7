#include "cli/render_options.h"

#include "image/file_replace.h"
#include "pipeline/ffmpeg_movie.h"
#include "pipeline/message_line.h"
#include "pipeline/picture_formats.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

// The build passes the project's version, so that it is set in one place.
#if !defined(LUMIRUN_VERSION) || !defined(LUMIRUN_COPYRIGHT)
#error "LUMIRUN_VERSION and LUMIRUN_COPYRIGHT must be defined by the build"
#endif

const char* const render_usage =
    "Usage: lumirun-render INPUT OUTPUT [options]\n"
    "Renders the picture INPUT (JPEG or PNG) as an observer flying past it at a\n"
    "large fraction of the speed of light would see it, and saves the result as\n"
    "OUTPUT, in the format its extension names: .jpg or .jpeg (quality 100, as\n"
    "the viewer's \"Save As...\" writes it), .png or .webp. INPUT - reads\n"
    "standard input, OUTPUT - writes standard output (JPEG unless --format; not\n"
    "a terminal). The smooth renderer draws the picture without gaps; --quality\n"
    "low to ultra give the viewer's exact pictures, byte for byte.\n"
    "A photo's Exif orientation is applied and its colour profile converted to\n"
    "sRGB; a PNG's transparent pixels are laid on black.\n"
    "\n"
    "Options:\n"
    "  --speed PERCENT    speed in percent of the speed of light, 0 <= PERCENT < 100\n"
    "                     (default 50)\n"
    "  --direction D      0 or left-to-right (default), 1 or top-to-bottom,\n"
    "                     2 or straight-at-it\n"
    "  --quality Q        smooth (default): every pixel pulled through the\n"
    "                     inverted view and filtered, no gaps or moire; or the\n"
    "                     viewer's exact renderer: 1 or low, 2 or medium, 3 or\n"
    "                     high, 4 or ultra\n"
    "  --observer X,Y     the observer's position in source pixels, as a click in\n"
    "                     the viewer places it (default 0,HEIGHT/2)\n"
    "  --effects E        which effects of the motion are shown:\n"
    "                     all (default), the picture as the observer sees it;\n"
    "                     contraction, the Lorentz contraction alone, as a\n"
    "                     measurement at one instant finds the picture (straight\n"
    "                     at it: the picture at its distance then, as at rest);\n"
    "                     light-time, the picture at its rest length, each point\n"
    "                     where it was when its light left; none, the picture at\n"
    "                     rest. --doppler takes all or light-time\n"
    "  --doppler          colour and brightness as the observer sees them: light\n"
    "                     from the approaching side bluer and brighter, from the\n"
    "                     receding side redder and dimmer\n"
    "  --doppler=colour   the shifted colours with white's change of brightness\n"
    "                     taken out: greys keep their brightness, colours dim\n"
    "                     as their light leaves the visible band\n"
    "  --temperature K    the black body lighting the picture, 1000 to 40000\n"
    "                     (default 6500); it supplies the light beyond the visible\n"
    "  --exposure EV      brightness in stops, -20 to 20, or auto (default): the\n"
    "                     log-average brightness shown kept as at rest, each\n"
    "                     movie frame's own, eased from frame to frame\n"
    "  --tonemap T        compress (default), which brings a picture spanning\n"
    "                     more stops than the display shows into it, so that\n"
    "                     both the bright and the dark side stay visible; clip,\n"
    "                     which scales light brighter than white down keeping\n"
    "                     its hue; or reinhard, which compresses it\n"
    "  --doppler-map      instead of colours, each pixel's Doppler factor D in\n"
    "                     false colour: grey at 1, bluer above, redder below,\n"
    "                     on a log scale from 1/8 to 8 (held past its ends),\n"
    "                     with a legend of D along the bottom\n"
    "  --format F         jpeg, png or webp for OUTPUT -, y4m for a movie to it\n"
    "  --jpeg-quality Q   JPEG quality, 1 to 100 (default 100)\n"
    "  --chroma C         444 (colour at every pixel) or 420 (default) for JPEG\n"
    "                     and YUV4MPEG2 output\n"
    "  --depth D          8 (default) or 16 bits a sample for PNG output\n"
    "  --lossless         exact pixels in a WebP picture or movie (default: lossy\n"
    "                     pictures, near-lossless movies)\n"
    "  --no-auto-orient   the stored pixel order, whatever the Exif orientation\n"
    "  --quiet            no progress bar\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "Movies: lumirun-render INPUT MOVIE --frames N (or --duration S) with a\n"
    "range, A:B or X1,Y1:X2,Y2, for --speed or --observer (or both); frame k\n"
    "of N takes the value k/(N-1) of the way from the first end to the second,\n"
    "the observer rounded to whole pixels. All frames share one canvas, as\n"
    "large as the largest frame, black where a frame does not reach; each\n"
    "frame keeps its place among the others as far as the canvas leaves room.\n"
    "MOVIE is NAME.webp, a looping animated WebP (near-lossless\n"
    "unless --lossless); NAME.y4m, a YUV4MPEG2 stream (- with --format y4m for\n"
    "standard output); NAME.mp4 (H.264), NAME.webm (VP9), NAME.mkv or NAME.gif,\n"
    "made by ffmpeg; or a frame pattern such as frame-%04d.png, one picture file\n"
    "a frame, numbered from 0 (JPEG unless the pattern ends in .png): %d or %0Nd\n"
    "(N from 1 to 10), any other % written %%. Every frame's file is checked\n"
    "before the work; one that exists is refused.\n"
    "  --frames N         the number of frames, 1 to 100000\n"
    "  --duration S       the movie's length in seconds instead of --frames:\n"
    "                     S times the frame rate frames, rounded, at least 1\n"
    "  --fps F            frames per second, 0.1 to 1000 (default 24)\n"
    "  --size WxH         every frame W by H pixels (1 to 16383; even for MP4,\n"
    "                     WebM and Matroska), e.g. 1920x1080 for a slide; with\n"
    "  --fit              (the default) the canvas scaled to fit, black bars on\n"
    "                     two sides, or with\n"
    "  --fill             scaled to cover W by H, each frame cropped about the\n"
    "                     observer\n"
    "  --ffmpeg PROGRAM   the ffmpeg to run (default: ffmpeg); a name without a\n"
    "                     folder is looked up on the PATH only, ./NAME is the\n"
    "                     current folder's\n"
    "  --overwrite        frame files may replace existing files (never INPUT)\n"
    "\n"
    "Exit status: 0 success; 1 failure (no output written, except that a frame\n"
    "sequence failing while it is written keeps the frames before the failed\n"
    "one); 2 usage error, a frame file that exists, or OUTPUT that is the file\n"
    "INPUT names (nothing is read or written); 128+N ended by signal N (130\n"
    "SIGINT, 143 SIGTERM, 129 SIGHUP: the files being written are removed and\n"
    "ffmpeg stopped first; 141 SIGPIPE: standard output closed early).\n";

const char* const render_version = "lumirun-render " LUMIRUN_VERSION "\n" LUMIRUN_COPYRIGHT ". MIT License.\n";

namespace {

// What a movie's options lack or have too many of; empty when they fit.
std::string movie_usage_error(const render_options& options, bool fps_given, const std::string& format_named)
{
    const bool range = options.speed_range || options.observer_range;
    if (options.frames == 0) {
        if (range)
            return "a range (A:B) needs --frames N";
        if (fps_given || !options.ffmpeg.empty() || options.overwrite)
            return std::string(fps_given ? "--fps" : !options.ffmpeg.empty() ? "--ffmpeg" : "--overwrite")
                   + " needs --frames N";
        return std::string();
    }
    if (!range)
        return "--frames needs a range to move: --speed A:B or --observer X1,Y1:X2,Y2";
    const movie_output kind = movie_output_kind(options.output);
    if (kind == movie_output::unknown)
        return "with --frames, OUTPUT is NAME.webp, NAME.y4m, NAME.mp4, NAME.webm, NAME.mkv, NAME.gif or a frame"
               " pattern such as frame-%04d.png (one picture file a frame), not '" + options.output + "'";
    if (options.output == "-" && format_named != "y4m")
        return "a movie to standard output is a YUV4MPEG2 stream: add --format y4m";
    if (options.output != "-" && !format_named.empty())
        return "--format is for OUTPUT - (standard output); a file's format comes from its extension";
    if (kind == movie_output::frame_files && options.lossless && options.format != picture_format::webp)
        return "--lossless is for a .webp movie; frame files are JPEG at quality 100";
    if ((kind == movie_output::y4m || kind == movie_output::ffmpeg) && options.lossless)
        return "--lossless is for a .webp movie";
    if (kind != movie_output::ffmpeg && !options.ffmpeg.empty())
        return "--ffmpeg is for .mp4, .webm, .mkv and .gif movies";
    if (kind != movie_output::frame_files && options.overwrite)
        return "--overwrite is for a frame pattern; other outputs are replaced whole";
    return std::string();
}

// A pipe or a device named by a path (/dev/stdout, NUL) with no picture
// extension: written in place, and its format chosen as for "-".
bool is_stream_target(const std::string& output)
{
    picture_format format = picture_format::jpeg;
    save_target target;
    std::string error;
    return !picture_format_of(output, &format) && find_save_target(output.c_str(), &target, &error)
           && target.in_place;
}

// What a picture's output options lack or have too many of; empty when they
// fit. Sets options->format from OUTPUT's extension or --format; a stream's
// format as "-".
std::string picture_usage_error(render_options* options, const std::string& format_named)
{
    if (options->output == "-" || is_stream_target(options->output)) {
        if (!format_named.empty() && !picture_format_named(format_named, &options->format))
            return "--format y4m is for a movie (--frames N); a picture is jpeg, png or webp";
    } else if (!format_named.empty()) {
        return "--format is for OUTPUT - (standard output); a file's format comes from its extension";
    } else if (!picture_format_of(options->output, &options->format)) {
        return "OUTPUT must end in .jpg, .jpeg, .png or .webp (or be - with --format jpeg|png|webp), not '"
               + options->output + "'";
    }
    return std::string();
}

// Options that only some formats take.
std::string format_option_error(const render_options& options, bool quality_given, bool chroma_given,
                                 bool depth_given)
{
    const bool movie_stream = options.frames > 0 && movie_output_kind(options.output) != movie_output::frame_files;
    const bool yuv = options.frames > 0 && movie_output_kind(options.output) == movie_output::y4m;
    const picture_format format = options.format;
    if (quality_given && (movie_stream || format != picture_format::jpeg))
        return "--jpeg-quality is for JPEG output";
    if (chroma_given && !yuv && (movie_stream || format != picture_format::jpeg))
        return "--chroma is for JPEG and YUV4MPEG2 output";
    if (depth_given && (movie_stream || format != picture_format::png))
        return "--depth is for PNG output";
    if (options.lossless && options.frames == 0 && format != picture_format::webp)
        return "--lossless is for WebP output";
    return std::string();
}

// What --size, --fit and --fill lack or have too many of; empty when they
// fit.
std::string framing_usage_error(const render_options& options, const std::string& size_text, bool fit_given,
                                bool fill_given)
{
    if (fit_given && fill_given)
        return "--fit and --fill exclude each other: give one of them";
    if ((fit_given || fill_given) && size_text.empty())
        return std::string(fit_given ? "--fit" : "--fill") + " needs --size WIDTHxHEIGHT";
    if (size_text.empty())
        return std::string();
    if (options.frames == 0)
        return "--size is for a movie (--frames N or --duration SECONDS)";
    ffmpeg_container container = ffmpeg_container::gif;
    const bool yuv420_movie = movie_output_kind(options.output) == movie_output::ffmpeg
                              && ffmpeg_container_of(options.output, &container)
                              && container != ffmpeg_container::gif;
    if (yuv420_movie && (options.movie_width % 2 != 0 || options.movie_height % 2 != 0))
        return "--size for an MP4, WebM or Matroska movie takes even sides (its colour is kept for 2 by 2 pixels),"
               " not '" + size_text + "'";
    return std::string();
}

}  // namespace

parse_result parse_render_arguments(int argc, const char* const* argv)
{
    parse_result result;
    render_options& options = result.options;
    // The gap-free picture unless the viewer's exact bytes are asked for.
    options.method = render_method::smooth;
    auto fail = [&result](const std::string& message) {
        result.outcome = parse_outcome::usage_error;
        result.error = one_line(message);
        return result;
    };

    int positional = 0;
    bool options_ended = false;
    bool colour_given = false;
    bool exposure_given = false;
    bool tone_given = false;
    bool fps_given = false;
    bool quality_given = false;
    bool chroma_given = false;
    bool depth_given = false;
    std::string format_named;
    std::string effects_named = "all";
    // The movie's framing and length.
    bool fit_given = false;
    bool fill_given = false;
    std::string size_text;
    std::string duration_text;
    std::string fps_text = "24";
    double duration = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            if (argument.empty())
                return fail(std::string("an empty name for ") + (positional == 0 ? "INPUT" : "OUTPUT"));
            if (positional == 0)
                options.input = argument;
            else if (positional == 1)
                options.output = argument;
            else
                return fail("unexpected argument '" + argument + "'");
            ++positional;
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            result.outcome = parse_outcome::help;
            return result;
        }
        if (argument == "--version") {
            result.outcome = parse_outcome::version;
            return result;
        }
        if (argument == "--quiet") {
            options.quiet = true;
            continue;
        }
        // A flag with an optional value, which only "=" gives.
        if (argument == "--doppler" || argument.compare(0, 10, "--doppler=") == 0) {
            if (argument != "--doppler" && argument != "--doppler=colour")
                return fail("--doppler takes no value, or =colour for the colour alone, not '" + argument.substr(10)
                            + "'");
            options.doppler = true;
            options.colour.mode
                = argument == "--doppler" ? doppler_mode::colour_and_brightness : doppler_mode::colour_only;
            continue;
        }
        if (argument == "--doppler-map") {
            options.doppler_map = true;
            continue;
        }
        if (argument == "--lossless") {
            options.lossless = true;
            continue;
        }
        if (argument == "--overwrite") {
            options.overwrite = true;
            continue;
        }
        if (argument == "--no-auto-orient") {
            options.auto_orient = false;
            continue;
        }
        if (argument == "--fit" || argument == "--fill") {
            (argument == "--fit" ? fit_given : fill_given) = true;
            options.movie_fill = argument == "--fill";
            continue;
        }

        // Options with a value: "--name VALUE" or "--name=VALUE".
        std::string name = argument;
        std::string value;
        const std::size_t equals = argument.find('=');
        if (equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const bool colour_option = name == "--temperature" || name == "--exposure" || name == "--tonemap";
        const bool format_option = name == "--format" || name == "--jpeg-quality" || name == "--chroma"
                                   || name == "--depth" || name == "--ffmpeg";
        const bool framing_option = name == "--size" || name == "--duration";
        if (name != "--speed" && name != "--direction" && name != "--quality" && name != "--observer"
            && name != "--effects" && name != "--frames" && name != "--fps" && !colour_option && !format_option
            && !framing_option)
            return fail("unknown option '" + name + "'");
        if (equals == std::string::npos) {
            if (i + 1 >= argc)
                return fail("option '" + name + "' needs a value");
            value = argv[++i];
        }

        if (name == "--speed") {
            options.speed_range = value.find(':') != std::string::npos;
            if (options.speed_range && !parse_speed_range(value, &options.speed_fraction, &options.speed_fraction_to))
                return fail("--speed A:B takes two percentages of the speed of light, each at least 0 and below 100,"
                            " not '" + value + "'");
            if (!options.speed_range && !parse_speed_percent(value, &options.speed_fraction))
                return fail("--speed takes a percentage of the speed of light, at least 0 and below 100, not '"
                            + value + "'");
        } else if (name == "--frames") {
            if (!parse_frame_count(value, &options.frames))
                return fail("--frames takes a whole number from 1 to " + std::to_string(max_movie_frames) + ", not '"
                            + value + "'");
        } else if (name == "--fps") {
            if (!parse_frame_rate(value, &options.fps))
                return fail("--fps takes a number of frames per second from 0.1 to 1000, not '" + value
                            + "'");
            fps_given = true;
            fps_text = value;
        } else if (name == "--size") {
            if (!parse_movie_size(value, &options.movie_width, &options.movie_height))
                return fail("--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to "
                            + std::to_string(max_movie_side) + ", not '" + value + "'");
            size_text = value;
        } else if (name == "--duration") {
            if (!parse_duration(value, &duration))
                return fail("--duration takes seconds, a number above 0 and at most 1000000, not '" + value + "'");
            duration_text = value;
        } else if (name == "--format") {
            if (value != "jpeg" && value != "png" && value != "webp" && value != "y4m")
                return fail("--format takes jpeg, png, webp or y4m, not '" + value + "'");
            format_named = value;
        } else if (name == "--jpeg-quality") {
            if (!parse_int32(value, &options.jpeg_quality) || options.jpeg_quality < 1 || options.jpeg_quality > 100)
                return fail("--jpeg-quality takes a whole number from 1 to 100, not '" + value + "'");
            quality_given = true;
        } else if (name == "--chroma") {
            if (value != "444" && value != "420")
                return fail("--chroma takes 444 or 420, not '" + value + "'");
            options.full_chroma = value == "444";
            chroma_given = true;
        } else if (name == "--depth") {
            if (value != "8" && value != "16")
                return fail("--depth takes 8 or 16, not '" + value + "'");
            options.depth = value == "16" ? 16 : 8;
            depth_given = true;
        } else if (name == "--ffmpeg") {
            if (value.empty())
                return fail("--ffmpeg takes the path of an ffmpeg program");
            options.ffmpeg = value;
        } else if (name == "--direction") {
            if (!parse_direction(value, &options.direction))
                return fail("--direction takes 0, 1, 2, left-to-right, top-to-bottom or straight-at-it, not '"
                            + value + "'");
        } else if (name == "--effects") {
            if (!parse_effects(value, &options.effects))
                return fail("--effects takes all, contraction, light-time or none, not '" + value + "'");
            effects_named = value;
        } else if (name == "--quality") {
            if (!parse_render_quality(value, &options.method, &options.quality))
                return fail("--quality takes smooth, or 1, 2, 3, 4, low, medium, high or ultra, not '" + value + "'");
        } else if (name == "--temperature") {
            if (!parse_temperature(value, &options.colour.temperature))
                return fail("--temperature takes kelvin from 1000 to 40000, not '" + value + "'");
        } else if (name == "--exposure") {
            options.colour.auto_exposure = value == "auto";
            if (!options.colour.auto_exposure && !parse_exposure(value, &options.colour.exposure))
                return fail("--exposure takes stops from -20 to 20, not '" + value + "'");
            exposure_given = true;
        } else if (name == "--tonemap") {
            if (!parse_tone_map(value, &options.colour.tone))
                return fail("--tonemap takes compress, clip or reinhard, not '" + value + "'");
            tone_given = true;
        } else {
            options.observer_range = value.find(':') != std::string::npos;
            if (options.observer_range
                && !parse_observer_range(value, &options.observer_x, &options.observer_y, &options.observer_x_to,
                                         &options.observer_y_to))
                return fail("--observer X1,Y1:X2,Y2 takes two positions of two whole numbers each, not '" + value
                            + "'");
            if (!options.observer_range && !parse_observer(value, &options.observer_x, &options.observer_y))
                return fail("--observer takes two whole numbers X,Y, not '" + value + "'");
            options.observer_given = true;
        }
        colour_given = colour_given || colour_option;
    }
    if (positional < 2)
        return fail(positional == 0 ? "missing INPUT and OUTPUT" : "missing OUTPUT");
    if (!duration_text.empty()) {
        if (options.frames > 0)
            return fail("--frames and --duration both set the number of frames; give one of them");
        if (!frames_for_duration(duration, options.fps, &options.frames))
            return fail("--duration " + duration_text + " at " + fps_text + " frames a second makes more than "
                        + std::to_string(max_movie_frames) + " frames");
    }
    // Silently ignored they would leave the user puzzling over a picture
    // that did not change.
    if (colour_given && !options.doppler)
        return fail("--temperature, --exposure and --tonemap need --doppler");
    if (options.doppler && !shows_light_time(options.effects))
        return fail("--doppler needs --effects all or light-time: " + effects_named
                    + " shows no light travelling, so nothing to shift");
    if (options.doppler && options.doppler_map)
        return fail("--doppler-map shows the Doppler factor instead of colours: not with --doppler");
    if (options.doppler_map && !shows_light_time(options.effects))
        return fail("--doppler-map needs --effects all or light-time: " + effects_named
                    + " shows no light travelling, so nothing to shift");
    if (options.doppler && !exposure_given)
        options.colour.auto_exposure = true;
    if (options.doppler && !tone_given)
        options.colour.tone = tone_map::compress;
    if (options.frames > 0) {
        // A frame pattern's files take the format of its extension.
        if (!picture_format_of(options.output, &options.format))
            options.format = picture_format::jpeg;
    } else {
        const std::string picture_error = picture_usage_error(&options, format_named);
        if (!picture_error.empty())
            return fail(picture_error);
    }
    const std::string movie_error = movie_usage_error(options, fps_given, format_named);
    if (!movie_error.empty())
        return fail(movie_error);
    const std::string format_error = format_option_error(options, quality_given, chroma_given, depth_given);
    if (!format_error.empty())
        return fail(format_error);
    const std::string framing_error = framing_usage_error(options, size_text, fit_given, fill_given);
    if (!framing_error.empty())
        return fail(framing_error);
    return result;
}
