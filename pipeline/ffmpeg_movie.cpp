#include "pipeline/ffmpeg_movie.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "image/file_handle.h"
#include "pipeline/message_line.h"

namespace {

const char* container_label(ffmpeg_container container)
{
    switch (container) {
    case ffmpeg_container::mp4: return "MP4";
    case ffmpeg_container::webm: return "WebM";
    case ffmpeg_container::mkv: return "Matroska";
    default: return "GIF";
    }
}

// How a file of the container begins: the bytes at an offset.
struct signature {
    std::size_t offset;
    std::string bytes;
};

signature signature_of(ffmpeg_container container)
{
    switch (container) {
    case ffmpeg_container::mp4: return {4, "ftyp"};
    case ffmpeg_container::webm:
    case ffmpeg_container::mkv: return {0, "\x1a\x45\xdf\xa3"};
    default: return {0, "GIF8"};
    }
}

}  // namespace

bool ffmpeg_container_of(const std::string& name, ffmpeg_container* container)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || name.find_first_of("/\\", dot) != std::string::npos)
        return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::pair<const char*, ffmpeg_container> known[] = {{"mp4", ffmpeg_container::mp4},
                                                              {"webm", ffmpeg_container::webm},
                                                              {"mkv", ffmpeg_container::mkv},
                                                              {"gif", ffmpeg_container::gif}};
    for (const auto& [text, kind] : known)
        if (extension == text) {
            *container = kind;
            return true;
        }
    return false;
}

std::string find_ffmpeg(const std::string& given, ffmpeg_container container, std::string* message)
{
    if (!given.empty() && names_a_folder(given)) {
        if (is_program(given))
            return given;
        *message = "--ffmpeg names " + one_line(given) + ", which is no program that can be run";
        return std::string();
    }
    const std::string found = find_on_path(given.empty() ? "ffmpeg" : given);
    if (found.empty() && !given.empty())
        *message = "--ffmpeg names " + one_line(given)
                   + ", which is no program on the PATH (a name without a folder is looked up there only;"
                     " ./" + one_line(given) + " names one in the current folder)";
    else if (found.empty())
        *message = std::string(container_label(container))
                   + " movies are made by ffmpeg, which is not on the PATH: install it or name it with"
                     " --ffmpeg PATH; NAME.y4m, NAME.webp and frame patterns such as frame-%04d.png are written"
                     " without it";
    return found;
}

std::vector<std::string> ffmpeg_arguments(ffmpeg_container container, const std::string& output)
{
    // No keys read from the terminal; an error ends ffmpeg with status 1
    // (without -xerror it exits 0 after failing to write a movie's end on a
    // full disk); each name may only be what it is: the frames our pipe,
    // the movie a file. The frames come as a YUV4MPEG2 stream, whose colours
    // are already those of the movie: ffmpeg converts none of them.
    std::vector<std::string> arguments = {"-nostdin", "-hide_banner", "-nostats", "-loglevel", "error",
                                          "-xerror", "-y", "-protocol_whitelist", "pipe", "-f", "yuv4mpegpipe",
                                          "-i", "pipe:0"};
    // Players want even sides for 4:2:0; the added row or column is black.
    const std::vector<std::string> even = {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"};
    const std::vector<std::string> colours = {"-pix_fmt",   "yuv420p",      "-colorspace", "smpte170m",
                                              "-color_primaries", "bt709", "-color_trc",  "iec61966-2-1",
                                              "-color_range", "tv"};
    std::vector<std::string> codec;
    switch (container) {
    case ffmpeg_container::mp4:
    case ffmpeg_container::mkv:
        codec = {"-c:v", "libx264", "-preset", "medium", "-crf", "18"};
        break;
    case ffmpeg_container::webm:
        codec = {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1"};
        break;
    case ffmpeg_container::gif:
        codec = {"-filter_complex", "split[a][b];[a]palettegen[p];[b][p]paletteuse"};
        break;
    }
    if (container != ffmpeg_container::gif)
        arguments.insert(arguments.end(), even.begin(), even.end());
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    if (container != ffmpeg_container::gif)
        arguments.insert(arguments.end(), colours.begin(), colours.end());
    if (container == ffmpeg_container::mp4)
        arguments.insert(arguments.end(), {"-movflags", "+faststart"});
    const char* const format = container == ffmpeg_container::mp4    ? "mp4"
                               : container == ffmpeg_container::webm ? "webm"
                               : container == ffmpeg_container::mkv  ? "matroska"
                                                                      : "gif";
    arguments.insert(arguments.end(), {"-f", format, "-protocol_whitelist", "file", "file:" + absolute_path(output)});
    return arguments;
}

std::string check_movie_file(const std::string& path, ffmpeg_container container)
{
    const signature expected = signature_of(container);
    std::string start(expected.offset + expected.bytes.size(), '\0');
    file_handle file(std::fopen(path.c_str(), "rb"));
    const std::size_t got = file ? std::fread(&start[0], 1, start.size(), file.get()) : 0;
    if (got == 0)
        return file ? "the file it wrote is empty" : "its file cannot be read: " + std::string(std::strerror(errno));
    if (got < start.size() || start.compare(expected.offset, expected.bytes.size(), expected.bytes) != 0)
        return std::string("the file it wrote does not begin as ") + (container == ffmpeg_container::mp4 ? "an " : "a ")
               + container_label(container) + " file does";
    return std::string();
}

ffmpeg_movie::ffmpeg_movie(std::string program, ffmpeg_container container, std::string output, double fps)
    : program_(std::move(program)), container_(container), output_(std::move(output)), fps_(fps)
{
}

ffmpeg_movie::~ffmpeg_movie() = default;

bool ffmpeg_movie::start(std::int32_t width, std::int32_t height, std::vector<std::string>* messages)
{
    movie_ = std::make_unique<streamed_save>(output_.c_str());
    std::string reason;
    if (!movie_->refusal().empty() || !movie_->close_stream(&reason)) {
        messages->push_back(!movie_->refusal().empty() ? movie_->refusal()
                                                       : cannot_write_text(output_.c_str(), reason));
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    if (!ffmpeg_.start(program_, ffmpeg_arguments(container_, movie_->written_name()), &reason)) {
        messages->push_back("Error: " + one_line(program_) + " could not be started: " + reason + ".");
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    // A GIF's palette is made from every pixel's colour.
    format_.width = width;
    format_.height = height;
    format_.full_chroma = container_ == ffmpeg_container::gif;
    y4m_rate(fps_, &format_.rate_numerator, &format_.rate_denominator);
    const std::string header = y4m_header(format_);
    if (ffmpeg_.input() && std::fwrite(header.data(), 1, header.size(), ffmpeg_.input()) == header.size())
        return true;
    report_failure(ffmpeg_.finish(), messages);
    return false;
}

void ffmpeg_movie::report_failure(int status, std::vector<std::string>* messages)
{
    const std::string how = status < 0    ? "it did not exit normally"
                            : status == 0 ? "it stopped reading the frames"
                                          : "exit status " + std::to_string(status);
    const std::string said = last_lines(ffmpeg_.messages(), 3);
    messages->push_back("Error: ffmpeg failed (" + how + "): " + (said.empty() ? "no message" : said));
    messages->push_back("Error saving file " + output_ + ".");
}

void ffmpeg_movie::abandon(std::vector<std::string>* messages)
{
    if (!ffmpeg_.input())
        return;
    report_failure(ffmpeg_.finish(), messages);
}

bool ffmpeg_movie::add(const raster& canvas, std::string* reason)
{
    if (ffmpeg_.input() && write_y4m_frame(ffmpeg_.input(), format_, canvas, reason))
        return true;
    *reason = "ffmpeg stopped reading the frames";
    return false;
}

bool ffmpeg_movie::finish(std::vector<std::string>* messages)
{
    if (!ffmpeg_.input())
        return false;
    const int status = ffmpeg_.finish();
    if (status != 0) {
        report_failure(status, messages);
        return false;
    }
    // A program that exits 0 without a movie (not ffmpeg, or one that
    // failed quietly) must not replace anything.
    const std::string wrong = check_movie_file(movie_->written_name(), container_);
    if (!wrong.empty()) {
        messages->push_back("Error: ffmpeg exited with status 0, but " + wrong + ".");
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    const save_result saved = movie_->commit();
    if (saved.result != 0) {
        messages->push_back(saved.message);
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    return true;
}
