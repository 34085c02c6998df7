// Movies in the containers video players and sharing sites take (MP4,
// WebM, Matroska, GIF), made by an ffmpeg program fed the frames through a
// pipe as a YUV4MPEG2 stream (4:2:0; 4:4:4 for GIF), so that ffmpeg
// converts no colour. Defaults that play everywhere: H.264 in yuv420p for
// MP4 and Matroska (+faststart for MP4), VP9 for WebM, both with sides
// padded with black to even sizes and BT.601 colours tagged; a palette
// made from the movie's own frames for GIF. ffmpeg writes a new file beside
// the output, which replaces the output only when ffmpeg succeeded.
#ifndef LUMIRUN_PIPELINE_FFMPEG_MOVIE_H
#define LUMIRUN_PIPELINE_FFMPEG_MOVIE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "image/raster.h"
#include "image/y4m_file.h"

enum class ffmpeg_container { mp4, webm, mkv, gif };

// .mp4, .webm, .mkv or .gif at the end of name, in any case.
bool ffmpeg_container_of(const std::string& name, ffmpeg_container* container);

// The program to run: given (--ffmpeg) when it names one, or ffmpeg on the
// PATH. Empty, with the line to tell the user, when there is none.
std::string find_ffmpeg(const std::string& given, ffmpeg_container container, std::string* message);

// The command line (with its redirection of ffmpeg's messages to log).
std::string ffmpeg_command(const std::string& program, ffmpeg_container container, const std::string& output,
                           const std::string& log);

class ffmpeg_movie {
public:
    ffmpeg_movie(std::string program, ffmpeg_container container, std::string output, double fps);
    ~ffmpeg_movie();
    ffmpeg_movie(const ffmpeg_movie&) = delete;
    ffmpeg_movie& operator=(const ffmpeg_movie&) = delete;

    // Starts ffmpeg for frames of width by height pixels; false with the
    // lines to tell the user.
    bool start(std::int32_t width, std::int32_t height, std::vector<std::string>* messages);

    // Sends one frame (the canvas's size); false with the reason.
    bool add(const raster& canvas, std::string* reason);

    // Ends the input, waits for ffmpeg and puts its file in place; false
    // with the lines to tell the user (ffmpeg's last lines among them).
    bool finish(std::vector<std::string>* messages);

    // After a frame ffmpeg did not take: waits for it and tells its last
    // lines; its file is removed, whatever its exit status.
    void abandon(std::vector<std::string>* messages);

private:
    // ffmpeg's exit status and its last lines, for the user.
    void report_failure(int status, std::vector<std::string>* messages) const;

    struct files;
    std::string program_;
    ffmpeg_container container_;
    std::string output_;
    double fps_;
    std::unique_ptr<files> files_;
    std::FILE* pipe_ = nullptr;
    y4m_format format_;
};

#endif
