// Movies in the containers video players and sharing sites take (MP4,
// WebM, Matroska, GIF), made by an ffmpeg program fed the frames through a
// pipe as a YUV4MPEG2 stream (4:2:0; 4:4:4 for GIF), so that ffmpeg
// converts no colour. Defaults that play everywhere: H.264 in yuv420p for
// MP4 and Matroska (+faststart for MP4), VP9 for WebM, both with sides
// padded with black to even sizes and BT.601 colours tagged; a palette
// made from the movie's own frames for GIF. ffmpeg writes a new file beside
// the output, which replaces the output only when ffmpeg succeeded and the
// file begins as its container does. ffmpeg is run as the file found, with
// an argument vector, and every name it gets is a file's: the input its
// standard input, the output an absolute path behind "file:", each limited
// to its one protocol, so that no name reaches the network or our standard
// output.
#ifndef LUMIRUN_PIPELINE_FFMPEG_MOVIE_H
#define LUMIRUN_PIPELINE_FFMPEG_MOVIE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "image/raster.h"
#include "image/safe_save.h"
#include "image/y4m_file.h"
#include "pipeline/program_pipe.h"

enum class ffmpeg_container { mp4, webm, mkv, gif };

// .mp4, .webm, .mkv or .gif at the end of name, in any case.
bool ffmpeg_container_of(const std::string& name, ffmpeg_container* container);

// The program to run: the file given (--ffmpeg) when it names a folder
// ("./ffmpeg", "/opt/ff/ffmpeg"), a name without one (given, or ffmpeg)
// looked up on the PATH only. Empty, with the line to tell the user, when
// there is none.
std::string find_ffmpeg(const std::string& given, ffmpeg_container container, std::string* message);

// ffmpeg's arguments (after its own name) for a movie written to output.
std::vector<std::string> ffmpeg_arguments(ffmpeg_container container, const std::string& output);

// Empty when the file at path begins as a movie of the container does (MP4:
// an "ftyp" box; WebM and Matroska: an EBML header; GIF: "GIF8");
// otherwise why it is no such movie.
std::string check_movie_file(const std::string& path, ffmpeg_container container);

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

    // Ends the input, waits for ffmpeg, checks its file and puts it in
    // place; false with the lines to tell the user (ffmpeg's last lines
    // among them).
    bool finish(std::vector<std::string>* messages);

    // After a frame ffmpeg did not take: waits for it and tells its last
    // lines; its file is removed, whatever its exit status.
    void abandon(std::vector<std::string>* messages);

private:
    // ffmpeg's exit status and its last lines, for the user.
    void report_failure(int status, std::vector<std::string>* messages);

    std::string program_;
    ffmpeg_container container_;
    std::string output_;
    double fps_;
    std::unique_ptr<streamed_save> movie_;
    program_pipe ffmpeg_;
    y4m_format format_;
};

#endif
