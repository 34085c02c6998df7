// The renderer's speed, printed side by side with the plain algorithm's and
// with what the processor allows: the same per-sample arithmetic run on
// registers alone, on every thread. Figures only; it fails (exit 1) when the
// renders' bytes differ.
//
// baseline: the plain algorithm written as well as plain code can be (one
// thread, scalar, the solver inlined, the direction chosen once), the honest
// measure of the fast path's speed-up. reference: the renderer's own
// reference path, the literal loops, one apparent_position call per sample.
//
//   lumirun_bench            640 x 480 at every quality and direction, and
//                            4000 x 3000 at Ultra-high, direction 0
//   lumirun_bench --quick    small pictures, for a smoke run
//   lumirun_bench --doppler  the colour pass alone, 640 x 480
//   lumirun_bench --smooth   the smooth renderer alone beside the exact one
//   lumirun_bench --smooth-only   its times alone (no exact renders, no
//                            Doppler), for quick comparisons while working
//   lumirun_bench --sums     the kept sums straight at it alone: building
//                            them for 6000 x 4000 (best of 3), then the
//                            renders that build and keep them
//
// Then the smooth renderer beside the exact one at Low and Ultra-high, at
// 60, 99 and 99.99 % of c in every direction (640 x 480 and 6000 x 4000;
// --quick: small), with and without --doppler, with its memory and the time
// a stream through its source and output takes; it fails (exit 1) when its
// bytes differ between thread counts. Then a smooth movie's frames.
//
// Then the Doppler colour pass (lumirun-render --doppler) beside the render
// it follows: its table, and its cost per coloured pixel.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "render/doppler.h"
#include "render/fast/kernels.h"
#include "render/fast/parallel.h"
#include "render/renderer.h"
#include "render/smooth/prefilter.h"
#include "render/smooth/smooth_passes.h"
#include "render/fast/thread_count.h"
#include "tests/bench/baseline_renderer.h"
#include "tests/bench/probes.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct bench_case {
    std::int32_t width;
    std::int32_t height;
    std::int32_t quality;
    std::int32_t direction;
};

const char* const quality_names[] = {"", "Low", "Medium", "High", "Ultra-high"};

std::uint64_t digest(const raster& r)
{
    std::size_t bytes = 0;
    if (!r.pixels || !raster_byte_count(r.width, r.height, &bytes))
        return 0;
    std::uint64_t h = 1469598103934665603ULL;
    for (std::size_t i = 0; i < bytes; ++i) {
        h ^= r.pixels[i];
        h *= 1099511628211ULL;
    }
    return h ^ (std::uint64_t(r.width) << 32) ^ std::uint64_t(r.height);
}

raster make_picture(std::int32_t width, std::int32_t height)
{
    raster picture = allocate_raster(width, height);
    unsigned char* p = picture.pixels.get();
    for (std::int32_t y = 0; p && y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<unsigned char>(x * 7 + y);
            p[1] = static_cast<unsigned char>((x ^ y) & 0xff);
            p[2] = static_cast<unsigned char>(y * 3 + (x >> 3));
        }
    }
    return picture;
}

// Times render() runs times and keeps the best time and the last digest.
template <class Render>
double best_seconds(int runs, Render render, std::uint64_t* last_digest)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        const clock_type::time_point start = clock_type::now();
        const raster rendered = render();
        best = std::min(best, std::chrono::duration<double>(clock_type::now() - start).count());
        *last_digest = digest(rendered);
    }
    return best;
}

// Apparent positions per second that the processor can compute: the probe
// on every hardware thread at once.
double probe_rate(simd_level level, std::int32_t direction, std::int64_t per_thread)
{
    const int threads = hardware_threads();
    std::vector<double> sums(static_cast<std::size_t>(threads));
    const clock_type::time_point start = clock_type::now();
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back([&, t] { sums[t] = arithmetic_probe(level, direction, per_thread); });
    sums[0] = arithmetic_probe(level, direction, per_thread);
    for (std::thread& t : pool)
        t.join();
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    if (sums[0] == 12345.0)  // keeps the sums alive
        std::printf(" ");
    return static_cast<double>(per_thread) * threads / seconds;
}

raster copy_of(const raster& r)
{
    raster copy = allocate_raster(r.width, r.height);
    std::size_t bytes = 0;
    if (copy.pixels && raster_byte_count(r.width, r.height, &bytes))
        std::memcpy(copy.pixels.get(), r.pixels.get(), bytes);
    return copy;
}

// The colour pass after a Medium render at 50 %, in each direction: the
// render's wall time on every thread, without and with the pixel origins the
// pass reads, and the pass's processor time on its one thread (which a
// loaded machine disturbs less), with the automatic exposure (two tables and
// two passes over the pixels) as lumirun-render --doppler runs it.
void doppler_figures(std::int32_t width, std::int32_t height)
{
    std::printf("\nThe Doppler colour pass (--doppler), %dx%d at Medium, 50 %% of c; best of 3:\n", width, height);
    std::printf("%3s %9s %9s %12s %11s %11s %12s\n", "dir", "render ms", "+origins", "pixels", "pass cpu ms",
                "table cpu ms", "ns/pixel");
    const raster source = make_picture(width, height);
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        render_settings settings;
        settings.direction = static_cast<fly_by_direction>(direction);
        settings.speed = 0.5 * speed_of_light;
        settings.quality = quality_level::medium;
        settings.observer = observer_position{0.0, static_cast<double>(height / 2), 0.0};
        observer_depth(settings.direction, &settings.observer.observer_z);
        const auto no_progress = [](int, int, std::int32_t) {};
        std::uint64_t unused = 0;
        const double render = best_seconds(
            3, [&] { return render_picture(source, settings, no_progress).picture; }, &unused);
        settings.keep_origins = true;
        const double render_with_origins = best_seconds(
            3, [&] { return render_picture(source, settings, no_progress).picture; }, &unused);
        const render_output rendered = render_picture(source, settings, no_progress);
        const view_parameters view{settings.observer, motion_for_speed(settings.speed)};
        colour_shift_settings colour;
        colour.auto_exposure = true;
        double pass = 1e300;
        for (int r = 0; r < 3; ++r) {
            raster picture = copy_of(rendered.picture);
            const std::clock_t start = std::clock();
            apply_doppler(&picture, doppler_source{&rendered.box, &rendered.origins}, view, settings.direction, colour);
            pass = std::min(pass, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
        }
        double table_time = 1e300;
        double d_min = 0.0, d_max = 0.0;
        doppler_range(view.motion, &d_min, &d_max);
        for (int r = 0; r < 3; ++r) {
            colour_shift_table table;
            const std::clock_t start = std::clock();
            make_colour_shift_table(colour, d_min, d_max, &table);
            table_time = std::min(table_time, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
        }
        // Black pixels (the margin no sample reaches) are skipped: counted are
        // the others.
        std::int64_t coloured = 0;
        const unsigned char* p = rendered.picture.pixels.get();
        for (std::int64_t i = 0; p && i < std::int64_t{rendered.picture.width} * rendered.picture.height; ++i, p += 3)
            coloured += (p[0] | p[1] | p[2]) != 0;
        std::printf("%3d %9.1f %9.1f %12lld %11.2f %11.2f %12.1f\n", direction, render * 1e3,
                    render_with_origins * 1e3, static_cast<long long>(coloured), pass * 1e3, table_time * 1e3,
                    coloured > 0 ? (pass - 2.0 * table_time) * 1e9 / static_cast<double>(coloured) : 0.0);
        std::fflush(stdout);
    }
    std::printf("pixels: those not black; ns/pixel: the pass without its two tables, per such pixel.\n");
}

// The processor's name, as the system tells it ("unknown" where it does
// not).
std::string processor_name()
{
    std::string name = "unknown";
    if (std::FILE* f = std::fopen("/proc/cpuinfo", "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "model name", 10) != 0)
                continue;
            const char* colon = std::strchr(line, ':');
            if (colon) {
                name = colon + 1 + (colon[1] == ' ');
                while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
                    name.pop_back();
            }
            break;
        }
        std::fclose(f);
    }
    return name;
}

// What memory allows: bytes a second read as a stream (summed) and written
// (set), on one thread, over buffers of `bytes`.
void stream_rates(std::size_t bytes, double* read_rate, double* write_rate)
{
    std::vector<std::uint64_t> from(bytes / 8, 1), to(bytes / 8);
    double read = 1e300, write = 1e300;
    std::uint64_t sum = 0;
    for (int r = 0; r < 3; ++r) {
        clock_type::time_point start = clock_type::now();
        for (std::uint64_t v : from)
            sum += v;
        read = std::min(read, std::chrono::duration<double>(clock_type::now() - start).count());
        start = clock_type::now();
        std::memset(to.data(), static_cast<int>(r + (sum & 1)), to.size() * 8);
        write = std::min(write, std::chrono::duration<double>(clock_type::now() - start).count());
    }
    if (to[to.size() / 2] == 12345)  // keeps the writes alive
        std::printf(" ");
    *read_rate = static_cast<double>(bytes) / read;
    *write_rate = static_cast<double>(bytes) / write;
}

const auto no_progress = [](int, int, std::int32_t) {};

// A smooth render and its colour pass as lumirun-render --doppler runs them
// (default colours: no statistics), the table held by the caller as a
// movie's frames hold it. centres: the old way, one D at each pixel's
// centre over the picture's mean light.
raster smooth_doppler(const raster& source, render_settings settings, colour_table_cache* tables, bool centres)
{
    const view_parameters view{settings.observer, motion_for_speed(settings.speed)};
    if (!centres)
        settings.seen_colours = tables->table_for(view.motion, colour_shift_settings{});
    render_output out = render_picture(source, settings, no_progress);
    apply_doppler(&out.picture, doppler_source{&out.box, nullptr, true, &out.seen_light}, view, settings.direction,
                  colour_shift_settings{}, nullptr, tables);
    return std::move(out.picture);
}

// The smooth renderer against the exact one at Low and Ultra-high, at 60,
// 99 and 99.99 % of c in every direction: wall times (best of 3, of 1 on
// the large picture and with --quick), with and without the Doppler colour pass, the
// memory each takes, and the time a stream through the source and the
// output alone takes. Returns false when its bytes differ between thread
// counts.
bool smooth_figures(bool quick, bool alone = false)
{
    const std::int32_t sizes[2][2] = {{quick ? 64 : 640, quick ? 48 : 480}, {quick ? 400 : 6000, quick ? 300 : 4000}};
    // --quick: 60 % alone (99.99 % from left to right takes seconds even
    // on a small picture).
    const double speeds[3] = {0.6, 0.99, 0.9999};
    const int speed_count = quick ? 1 : 3;
    double read_rate = 0.0, write_rate = 0.0;
    stream_rates(static_cast<std::size_t>(sizes[1][0]) * sizes[1][1] * 3, &read_rate, &write_rate);
    std::printf("\nThe smooth renderer (lumirun-render --quality smooth) beside the exact one; %s, %d threads.\n"
                "Memory streams at %.1f GB/s read, %.1f GB/s written (one thread).\n",
                processor_name().c_str(), hardware_threads(), read_rate / 1e9, write_rate / 1e9);
    std::printf("%-9s %6s %3s %10s %8s %8s %8s %8s %9s %7s %7s %7s %7s %7s %6s\n", "picture", "c", "dir", "canvas",
                "smooth", "+dopp", "+old", "Low", "Ultra", "stream", "src MB", "out MB", "sums MB", "dop MB",
                "bytes");
    bool all_same = true;
    colour_table_cache tables;
    for (const auto& size : sizes) {
        const raster source = make_picture(size[0], size[1]);
        const bool large = static_cast<double>(size[0]) * size[1] > 1e6;
        const int runs = large || quick ? 1 : 3;
        for (int s = 0; s < speed_count; ++s) {
            const double speed = speeds[s];
            for (std::int32_t direction = 0; direction < 3; ++direction) {
                render_settings settings;
                settings.direction = static_cast<fly_by_direction>(direction);
                settings.speed = speed * speed_of_light;
                settings.observer = observer_position{0.0, static_cast<double>(size[1] / 2), 0.0};
                observer_depth(settings.direction, &settings.observer.observer_z);
                render_settings smooth = settings;
                smooth.method = render_method::smooth;
                const render_output canvas = measure_picture(source, smooth, no_progress);
                const std::int64_t pixels = std::int64_t{image_width_of(canvas.picture)} * canvas.picture.height;
                char picture[32], canvas_text[32], fraction[16];
                std::snprintf(picture, sizeof picture, "%dx%d", size[0], size[1]);
                std::snprintf(canvas_text, sizeof canvas_text, "%dx%d", image_width_of(canvas.picture),
                              canvas.picture.height);
                std::snprintf(fraction, sizeof fraction, "%g%%", speed * 100.0);
                if (pixels > 60000000) {
                    std::printf("%-9s %6s %3d %10s  (a canvas of %.0f million pixels: not timed)\n", picture,
                                fraction, direction, canvas_text, static_cast<double>(pixels) / 1e6);
                    continue;
                }
                std::uint64_t smooth_digest = 0, doppler_digest = 0, other = 0;
                const double smooth_time = best_seconds(
                    runs, [&] { return render_picture(source, smooth, no_progress).picture; }, &smooth_digest);
                bool same = smooth_digest != 0;
                double doppler_time = 0.0, old_time = 0.0, low = 0.0, ultra = 0.0;
                if (!alone) {
                    doppler_time = best_seconds(
                        runs, [&] { return smooth_doppler(source, smooth, &tables, false); }, &doppler_digest);
                    old_time = best_seconds(
                        runs, [&] { return smooth_doppler(source, smooth, &tables, true); }, &other);
                    for (int threads : {1, 3}) {
                        render_settings counted = smooth;
                        counted.machine.threads = threads;
                        std::uint64_t d = 0;
                        best_seconds(1, [&] { return render_picture(source, counted, no_progress).picture; }, &d);
                        same = same && d == smooth_digest;
                        best_seconds(1, [&] { return smooth_doppler(source, counted, &tables, false); }, &d);
                        same = same && d == doppler_digest;
                    }
                    settings.quality = quality_level::low;
                    low = best_seconds(runs, [&] { return render_picture(source, settings, no_progress).picture; },
                                       &other);
                    settings.quality = quality_level::ultra;
                    ultra = best_seconds(runs, [&] { return render_picture(source, settings, no_progress).picture; },
                                         &other);
                }
                all_same = all_same && same;
                const int workers = render_threads_for(0, (pixels + std::int64_t{size[0]} * size[1]) * 16);
                const double sums = static_cast<double>(smooth_working_bytes(
                    settings.direction, size[0], size[1], image_width_of(canvas.picture), canvas.picture.height,
                    workers));
                const double source_bytes = static_cast<double>(size[0]) * size[1] * 3;
                const double out_bytes = static_cast<double>(canvas.picture.width) * canvas.picture.height * 3;
                // The shifted source, and the canvas's shifted and plain light, in floats.
                const double doppler_bytes = (source_bytes + static_cast<double>(pixels) * 3 * 2) * 4;
                const double stream = source_bytes / read_rate + out_bytes / write_rate;
                std::printf("%-9s %6s %3d %10s %8.1f %8.1f %8.1f %8.1f %9.1f %7.2f %7.1f %7.1f %7.1f %7.1f %6s\n",
                            picture, fraction, direction, canvas_text, smooth_time * 1e3, doppler_time * 1e3,
                            old_time * 1e3, low * 1e3, ultra * 1e3, stream * 1e3, source_bytes / 1e6,
                            out_bytes / 1e6, sums / 1e6, doppler_bytes / 1e6, same ? "same" : "DIFFER");
                std::fflush(stdout);
            }
        }
    }
    std::printf("Times in ms. smooth: the render; +dopp: with --doppler, each point's light shifted with its own D\n"
                "and the colour pass (the table held); +old: the render with one D at each pixel's centre, as before.\n"
                "stream: reading the source and writing the output at the rates above. src, out: the source and\n"
                "smooth rasters; sums: the smooth workers' running sums and edges; dop: what --doppler adds (the\n"
                "shifted source and two float canvases). bytes: smooth, and smooth with --doppler, give the same\n"
                "raster on 1, 3 and every thread.\n");
    return all_same;
}

// Straight at it with the source's sums kept between renders, as a movie's
// frames keep them: the first render (which builds them), the next ones,
// and the memory they take, beside a render that keeps nothing.
void prefilter_figures(bool quick, bool build_alone = false)
{
    const std::int32_t width = quick ? 400 : 6000, height = quick ? 300 : 4000;
    const raster source = make_picture(width, height);
    if (build_alone) {
        const smooth_source from{nullptr, source.pixels.get(), width, height, source.width};
        double best = 1e300;
        std::uint64_t bytes = 0;
        for (int r = 0; r < 3; ++r) {
            const clock_type::time_point start = clock_type::now();
            const std::shared_ptr<const smooth_prefilter> built = build_prefilter(from, srgb_light(), render_machine{});
            best = std::min(best, std::chrono::duration<double>(clock_type::now() - start).count());
            bytes = prefilter_bytes(built->rows.width, built->rows.height, !built->turned_values.empty());
        }
        std::printf("\nBuilding the sums of %dx%d bytes alone: %.1f ms (best of 3), %.1f MB, %d threads.\n", width,
                    height, best * 1e3, static_cast<double>(bytes) / 1e6, hardware_threads());
    }
    std::printf("\nStraight at it, %dx%d, the source's sums kept between renders (a movie's frames):\n", width,
                height);
    std::printf("%8s %10s %10s %10s %10s %8s\n", "c", "alone", "building", "kept", "sums MB", "bytes");
    for (const double speed : {0.6, 0.99, 0.9999}) {
        render_settings settings;
        settings.method = render_method::smooth;
        settings.direction = fly_by_direction::straight_at_it;
        settings.speed = speed * speed_of_light;
        settings.observer = observer_position{0.0, static_cast<double>(height / 2), 0.0};
        observer_depth(settings.direction, &settings.observer.observer_z);
        std::uint64_t alone_digest = 0, first_digest = 0, kept_digest = 0;
        const double alone = best_seconds(
            1, [&] { return render_picture(source, settings, no_progress).picture; }, &alone_digest);
        smooth_sums_cache cache;
        settings.smooth_sums = &cache;
        const double first = best_seconds(
            1, [&] { return render_picture(source, settings, no_progress).picture; }, &first_digest);
        const double kept = best_seconds(
            3, [&] { return render_picture(source, settings, no_progress).picture; }, &kept_digest);
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, "%g%%", speed * 100.0);
        std::printf("%8s %10.1f %10.1f %10.1f %10.1f %8s\n", fraction, alone * 1e3, first * 1e3, kept * 1e3,
                    static_cast<double>(cache.bytes()) / 1e6, first_digest == kept_digest ? "same" : "DIFFER");
    }
    std::printf("Times in ms: alone, a render that keeps nothing (as lumirun-render's); building, the first\n"
                "render given a cache, which sums the source; kept, the next ones (best of 3). bytes: the\n"
                "first and the next renders give the same raster.\n");
}

// A movie's frames as the smooth renderer draws them: 1920 x 1080, 48
// frames (--quick: 4 of 192 x 108), direction 0, speed 0 to 95 %, without
// and with --doppler; the render alone, no encoding (lumirun_bench_movie
// times that).
void smooth_movie_figures(bool quick)
{
    const std::int32_t width = quick ? 192 : 1920, height = quick ? 108 : 1080, frames = quick ? 4 : 48;
    const raster source = make_picture(width, height);
    colour_table_cache tables;
    std::printf("\nA smooth movie: %d frames of %dx%d, direction 0, 0 to 95 %% of c, rendering only:\n", frames, width,
                height);
    for (bool doppler : {false, true}) {
        const clock_type::time_point start = clock_type::now();
        for (std::int32_t k = 0; k < frames; ++k) {
            render_settings settings;
            settings.method = render_method::smooth;
            settings.speed = 0.95 * speed_of_light * k / std::max(1, frames - 1);
            settings.observer = observer_position{0.0, static_cast<double>(height / 2), 0.0};
            observer_depth(settings.direction, &settings.observer.observer_z);
            if (doppler)
                smooth_doppler(source, settings, &tables, false);
            else
                render_picture(source, settings, no_progress);
        }
        const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
        std::printf("  %-10s %8.2f s, %8.1f ms a frame\n", doppler ? "--doppler" : "plain", seconds,
                    seconds * 1e3 / frames);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    if (argc > 1 && std::strcmp(argv[1], "--doppler") == 0) {
        doppler_figures(640, 480);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--smooth-only") == 0) {
        smooth_figures(false, true);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--sums") == 0) {
        prefilter_figures(false, true);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--smooth") == 0) {
        const bool same = smooth_figures(false);
        prefilter_figures(false);
        smooth_movie_figures(false);
        return same ? 0 : 1;
    }
    std::vector<bench_case> cases;
    const std::int32_t small_w = quick ? 64 : 640;
    const std::int32_t small_h = quick ? 48 : 480;
    for (std::int32_t quality = 1; quality <= 4; ++quality)
        for (std::int32_t direction = 0; direction < 3; ++direction)
            cases.push_back({small_w, small_h, quality, direction});
    cases.push_back({quick ? 400 : 4000, quick ? 300 : 3000, 4, 0});

    const kernel_table& kernels = kernels_for(render_machine{});
    std::printf("Vector width %s, %d threads.\n\n", kernels.name, hardware_threads());
    std::printf("%-11s %-10s %3s %12s %12s %12s %9s %9s %9s %8s %9s %6s\n", "picture", "quality", "dir",
                "base pos/s", "fast pos/s", "limit pos/s", "base ms", "ref ms", "fast ms", "speed-up", "vs limit",
                "bytes");

    bool all_match = true;
    for (const bench_case& c : cases) {
        const raster source = make_picture(c.width, c.height);
        render_settings settings;
        settings.direction = static_cast<fly_by_direction>(c.direction);
        settings.speed = 0.5 * speed_of_light;
        settings.quality = static_cast<quality_level>(c.quality);
        settings.observer = observer_position{0.0, static_cast<double>(c.height / 2), 0.0};
        observer_depth(settings.direction, &settings.observer.observer_z);
        sample_steps steps;
        steps_for_quality(settings.quality, &steps);
        const double positions = 2.0 * static_cast<double>(sample_coordinates(c.width, steps.x).size())
                                 * static_cast<double>(sample_coordinates(c.height, steps.y).size());
        const int slow_runs = positions > 1e9 ? 1 : 2;
        const auto no_progress = [](int, int, std::int32_t) {};

        std::uint64_t baseline_digest = 0;
        std::uint64_t reference_digest = 0;
        std::uint64_t fast_digest = 0;
        const double baseline
            = best_seconds(slow_runs, [&] { return baseline_render(source, settings); }, &baseline_digest);
        render_settings reference_settings = settings;
        reference_settings.machine.path = render_path::reference;
        const double reference = best_seconds(
            slow_runs, [&] { return render_picture(source, reference_settings, no_progress).picture; },
            &reference_digest);
        const double fast = best_seconds(
            3, [&] { return render_picture(source, settings, no_progress).picture; }, &fast_digest);
        const bool match = baseline_digest == reference_digest && reference_digest == fast_digest
                           && baseline_digest != 0;
        all_match = all_match && match;
        // Measured next to the render, as the machine's load comes and goes.
        const auto probed = static_cast<std::int64_t>(std::min(std::max(positions, 1e7), 5e8));
        double limit_rate = 0.0;
        for (int r = 0; r < 2; ++r)
            limit_rate = std::max(limit_rate, probe_rate(kernels.level, c.direction, probed / hardware_threads()));
        const double limit = positions / limit_rate;
        char picture[32];
        std::snprintf(picture, sizeof picture, "%dx%d", c.width, c.height);
        std::printf("%-11s %-10s %3d %12.3g %12.3g %12.3g %9.1f %9.1f %9.1f %7.1fx %8.2fx %6s\n", picture,
                    quality_names[c.quality], c.direction, positions / baseline, positions / fast, limit_rate,
                    baseline * 1e3, reference * 1e3, fast * 1e3, baseline / fast, fast / limit,
                    match ? "same" : "DIFFER");
        std::fflush(stdout);
    }
    std::printf("\npos/s: apparent positions per second (two per sample, one in each pass); fast: best of 3 runs,\n"
                "base and ref: best of 2 (1 for the largest). base: the plain algorithm as well written as plain\n"
                "code can be; ref: the renderer's reference path. speed-up: base over fast. limit: the solver's\n"
                "arithmetic on registers alone, on every thread, measured after each case. vs limit: fast time\n"
                "over the limit's time for as many positions. bytes: base, ref and fast give the same raster.\n");
    doppler_figures(small_w, small_h);
    const bool smooth_same = smooth_figures(quick);
    prefilter_figures(quick);
    smooth_movie_figures(quick);
    return all_match && smooth_same ? 0 : 1;
}
