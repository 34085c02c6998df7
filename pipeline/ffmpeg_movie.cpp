#include "pipeline/ffmpeg_movie.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "image/file_handle.h"
#include "image/safe_save.h"
#include "image/y4m_file.h"
#include "pipeline/program_pipe.h"

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

// The last lines ffmpeg wrote, joined by " / ".
std::string last_lines(const std::string& log, std::size_t count)
{
    file_handle file(std::fopen(log.c_str(), "rb"));
    std::vector<std::string> lines(1);
    for (int c = file ? std::fgetc(file.get()) : EOF; c != EOF; c = std::fgetc(file.get())) {
        if (c == '\n' || c == '\r') {
            if (!lines.back().empty())
                lines.emplace_back();
        } else {
            lines.back() += static_cast<char>(c);
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    std::string joined;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        joined += (joined.empty() ? "" : " / ") + lines[i];
    return joined.empty() ? "no message" : joined;
}

}  // namespace

struct ffmpeg_movie::files {
    explicit files(const std::string& output) : movie(output.c_str()), log((output + ".log").c_str()) {}
    streamed_save movie;
    streamed_save log;  // never committed: removed at the end
};

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
    if (!given.empty()) {
        if (is_program(given))
            return given;
        *message = "--ffmpeg names " + given + ", which is no program that can be run";
        return std::string();
    }
    const std::string found = find_on_path("ffmpeg");
    if (found.empty())
        *message = std::string(container_label(container))
                   + " movies are made by ffmpeg, which is not on the PATH: install it or name it with"
                     " --ffmpeg PATH; NAME.y4m, NAME.webp and frame patterns such as frame-%04d.png are written"
                     " without it";
    return found;
}

std::string ffmpeg_command(const std::string& program, ffmpeg_container container, const std::string& output,
                           const std::string& log)
{
    // The frames come as a YUV4MPEG2 stream, whose colours are already
    // those of the movie: ffmpeg converts none of them.
    std::string command = shell_quote(program) + " -hide_banner -nostats -loglevel error -y -f yuv4mpegpipe -i -";
    // Players want even sides for 4:2:0; the added row or column is black.
    const std::string even = " -vf " + shell_quote("pad=ceil(iw/2)*2:ceil(ih/2)*2");
    const std::string colours = " -pix_fmt yuv420p -colorspace smpte170m -color_primaries bt709"
                                " -color_trc iec61966-2-1 -color_range tv";

    switch (container) {
    case ffmpeg_container::mp4:
    case ffmpeg_container::mkv:
        command += even + " -c:v libx264 -preset medium -crf 18" + colours;
        command += container == ffmpeg_container::mp4 ? " -movflags +faststart -f mp4" : " -f matroska";
        break;
    case ffmpeg_container::webm:
        command += even + " -c:v libvpx-vp9 -crf 30 -b:v 0 -row-mt 1" + colours + " -f webm";
        break;
    case ffmpeg_container::gif:
        command += " -filter_complex " + shell_quote("split[a][b];[a]palettegen[p];[b][p]paletteuse") + " -f gif";
        break;
    }
    return command + " " + shell_quote(output) + " 2>" + shell_quote(log);
}

ffmpeg_movie::ffmpeg_movie(std::string program, ffmpeg_container container, std::string output, double fps)
    : program_(std::move(program)), container_(container), output_(std::move(output)), fps_(fps)
{
}

ffmpeg_movie::~ffmpeg_movie()
{
    if (pipe_)
        close_program_pipe(pipe_);
}

bool ffmpeg_movie::start(std::int32_t width, std::int32_t height, std::vector<std::string>* messages)
{
    files_ = std::make_unique<files>(output_);
    std::string reason;
    for (streamed_save* file : {&files_->movie, &files_->log}) {
        if (!file->refusal().empty() || !file->close_stream(&reason)) {
            messages->push_back(!file->refusal().empty() ? file->refusal()
                                                         : cannot_write_text(output_.c_str(), reason));
            messages->push_back("Error saving file " + output_ + ".");
            return false;
        }
    }
    pipe_ = open_program_pipe(ffmpeg_command(program_, container_, files_->movie.written_name(),
                                             files_->log.written_name()));
    if (!pipe_) {
        messages->push_back("Error: " + program_ + " could not be started: " + std::strerror(errno) + ".");
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    // A GIF's palette is made from every pixel's colour.
    format_.width = width;
    format_.height = height;
    format_.full_chroma = container_ == ffmpeg_container::gif;
    y4m_rate(fps_, &format_.rate_numerator, &format_.rate_denominator);
    const std::string header = y4m_header(format_);
    if (std::fwrite(header.data(), 1, header.size(), pipe_) == header.size())
        return true;
    report_failure(close_program_pipe(pipe_), messages);
    pipe_ = nullptr;
    return false;
}

void ffmpeg_movie::report_failure(int status, std::vector<std::string>* messages) const
{
    const std::string how = status < 0    ? "it did not exit normally"
                            : status == 0 ? "it stopped reading the frames"
                                          : "exit status " + std::to_string(status);
    messages->push_back("Error: ffmpeg failed (" + how + "): " + last_lines(files_->log.written_name(), 3));
    messages->push_back("Error saving file " + output_ + ".");
}

void ffmpeg_movie::abandon(std::vector<std::string>* messages)
{
    if (!pipe_)
        return;
    report_failure(close_program_pipe(pipe_), messages);
    pipe_ = nullptr;
}

bool ffmpeg_movie::add(const raster& canvas, std::string* reason)
{
    if (pipe_ && write_y4m_frame(pipe_, format_, canvas, reason))
        return true;
    *reason = "ffmpeg stopped reading the frames";
    return false;
}

bool ffmpeg_movie::finish(std::vector<std::string>* messages)
{
    if (!pipe_)
        return false;
    const int status = close_program_pipe(pipe_);
    pipe_ = nullptr;
    if (status != 0) {
        report_failure(status, messages);
        return false;
    }
    const save_result saved = files_->movie.commit();
    if (saved.result != 0) {
        messages->push_back(saved.message);
        messages->push_back("Error saving file " + output_ + ".");
        return false;
    }
    return true;
}
