// A movie's time: 48 frames of the 640 x 480 sample at High quality,
// direction 0, speed 0 to 95 %, in every movie format (WebP near-lossless
// and lossless, JPEG and PNG frame sequences, YUV4MPEG2 and, when ffmpeg is
// on the PATH, MP4, WebM and GIF); the share spent measuring (pass 1 of
// every frame, for the canvas), rendering and encoding. Figures only.
//
//   lumirun_bench_movie            the full movie
//   lumirun_bench_movie --quick    4 frames at Low quality, for a smoke run
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/movie_job.h"
#include "pipeline/program_pipe.h"
#include "render/fast/kernels.h"
#include "render/fast/parallel.h"

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "lumirun-bench-movie";
    fs::remove_all(folder);
    fs::create_directories(folder);

    render_options options;
    options.input = LUMIRUN_SAMPLE_JPEG;
    options.quiet = true;
    options.frames = quick ? 4 : 48;
    options.quality = quick ? 1 : 3;
    options.speed_range = true;
    options.speed_fraction = 0.0f;
    options.speed_fraction_to = 0.95f;

    std::printf("Movie of %s: %d frames, quality %d, direction 0, speed 0:95; vector width %s, %d threads.\n\n",
                fs::path(options.input).filename().string().c_str(), options.frames, options.quality,
                kernels_for(render_machine{}).name, hardware_threads());
    std::printf("%-22s %8s %9s %10s %9s %9s %8s %8s %10s\n", "output", "total s", "ms/frame", "measure s",
                "render s", "encode s", "render", "encode", "bytes");
    struct run {
        const char* label;
        const char* name;
        bool lossless;
    };
    const run runs[] = {{"WebP (default)", "movie.webp", false},
                        {"WebP lossless", "lossless.webp", true},
                        {"JPEG frames", "frame-%02d.jpg", false},
                        {"PNG frames", "frame-%02d.png", false},
                        {"YUV4MPEG2 4:2:0", "movie.y4m", false},
                        {"MP4 (ffmpeg)", "movie.mp4", false},
                        {"WebM (ffmpeg)", "movie.webm", false},
                        {"GIF (ffmpeg)", "movie.gif", false}};
    const bool ffmpeg = !find_on_path("ffmpeg").empty();
    int status = 0;
    for (const run& r : runs) {
        const std::string name = r.name;
        if (!ffmpeg && name.size() > 4 && name.compare(0, 6, "movie.") == 0 && name != "movie.webp"
            && name != "movie.y4m") {
            std::printf("%-22s (no ffmpeg on the PATH)\n", r.label);
            continue;
        }
        options.output = (folder / r.name).string();
        options.lossless = r.lossless;
        std::vector<std::string> messages;
        movie_timing timing;
        if (render_movie(options, nullptr, &messages, &timing) != 0) {
            std::printf("%s failed: %s\n", r.label, messages.empty() ? "" : messages.back().c_str());
            status = 1;
            continue;
        }
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            bytes += entry.file_size();
        fs::remove_all(folder);
        fs::create_directories(folder);
        const double busy = timing.measure + timing.render + timing.encode;
        std::printf("%-22s %8.2f %9.1f %10.2f %9.2f %9.2f %7.0f%% %7.0f%% %10ju\n", r.label, timing.total,
                    1e3 * timing.total / options.frames, timing.measure, timing.render, timing.encode,
                    100.0 * (timing.measure + timing.render) / busy, 100.0 * timing.encode / busy, bytes);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    std::printf("\ntotal: wall time from the first measure to the file(s) written. measure: pass 1 of every frame,\n"
                "for the shared canvas; render: both passes of every frame and its placing on the canvas; encode:\n"
                "the encoder (WebP, ffmpeg through its pipe) or the picture writes, and the file, on a second\n"
                "thread beside the next render (ffmpeg's own threads run beside both),\n"
                "so the three may add up to more than the total. The shares: of measure + render + encode.\n");
    return status;
}
