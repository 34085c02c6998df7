// The renderer's speed, printed side by side with the plain algorithm's and
// with what the processor allows: the same per-sample arithmetic run on
// registers alone, on every thread. Figures only; it fails (exit 1) when a
// fast render's bytes differ from the plain one's.
//
//   lumirun_bench            640 x 480 at every quality and direction, and
//                            4000 x 3000 at Ultra-high, direction 0
//   lumirun_bench --quick    small pictures, for a smoke run
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "image/raster.h"
#include "render/kernels.h"
#include "render/observer.h"
#include "render/parallel.h"
#include "render/render_tuning.h"
#include "render/renderer.h"
#include "render/sample_grid.h"
#include "tests/plain_renderer.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct bench_case {
    std::int32_t width;
    std::int32_t height;
    std::int32_t quality;
    std::int32_t direction;
};

const char* const quality_names[] = {"", "Low", "Medium", "High", "Ultra-high"};
const double quality_steps[] = {0.0, 1.0, 0.2, 0.1, 0.05};

std::uint64_t fnv1a(const unsigned char* bytes, std::size_t count)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (std::size_t i = 0; i < count; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ULL;
    }
    return h;
}

std::uint64_t rendered_digest()
{
    std::size_t bytes = 0;
    if (!rendered_image.pixels || !raster_byte_count(rendered_image.width, rendered_image.height, &bytes))
        return 0;
    return fnv1a(rendered_image.pixels.get(), bytes) ^ (std::uint64_t(rendered_image.width) << 32)
           ^ std::uint64_t(rendered_image.height);
}

void make_picture(std::int32_t width, std::int32_t height)
{
    free_images();
    source_image = raster{};
    if (!allocate_source_image(width, height))
        return;
    unsigned char* p = source_image.pixels.get();
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<unsigned char>(x * 7 + y);
            p[1] = static_cast<unsigned char>((x ^ y) & 0xff);
            p[2] = static_cast<unsigned char>(y * 3 + (x >> 3));
        }
    }
    source_image.rows_filled = height;
}

template <class F>
double best_seconds(int runs, F render)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        const clock_type::time_point start = clock_type::now();
        render();
        best = std::min(best, std::chrono::duration<double>(clock_type::now() - start).count());
    }
    return best;
}

// Apparent positions per second that the processor can compute: the probe
// on every hardware thread at once.
double probe_rate(const kernel_table& kernels, std::int32_t direction, std::int64_t per_thread)
{
    const int threads = hardware_threads();
    std::vector<double> sums(static_cast<std::size_t>(threads));
    const clock_type::time_point start = clock_type::now();
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back([&, t] { sums[t] = kernels.arithmetic_probe(direction, per_thread); });
    sums[0] = kernels.arithmetic_probe(direction, per_thread);
    for (std::thread& t : pool)
        t.join();
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    if (sums[0] == 12345.0)  // keeps the sums alive
        std::printf(" ");
    return static_cast<double>(per_thread) * threads / seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::vector<bench_case> cases;
    const std::int32_t small_w = quick ? 64 : 640;
    const std::int32_t small_h = quick ? 48 : 480;
    for (std::int32_t quality = 1; quality <= 4; ++quality)
        for (std::int32_t direction = 0; direction < 3; ++direction)
            cases.push_back({small_w, small_h, quality, direction});
    cases.push_back({quick ? 400 : 4000, quick ? 300 : 3000, 4, 0});

    const kernel_table& kernels = kernels_for(render_simd());
    std::printf("Vector width %s, %d threads.\n\n", kernels.name, hardware_threads());
    std::printf("%-11s %-10s %3s %12s %12s %12s %9s %9s %8s %9s %6s\n", "picture", "quality", "dir", "plain pos/s",
                "fast pos/s", "limit pos/s", "plain ms", "fast ms", "speed-up", "vs limit", "bytes");

    bool all_match = true;
    for (const bench_case& c : cases) {
        make_picture(c.width, c.height);
        set_observer(0, c.height / 2);
        const double step = quality_steps[c.quality];
        const double positions = 2.0 * static_cast<double>(sample_coordinates(c.width, step).size())
                                 * static_cast<double>(sample_coordinates(c.height, step).size());
        const bool big = positions > 1e9;
        const double plain = best_seconds(big ? 1 : 2, [&] { plain_render_relativistic(c.direction, 0.5, c.quality); });
        const std::uint64_t plain_digest = rendered_digest();
        const double fast = best_seconds(3, [&] { render_relativistic(c.direction, 0.5, c.quality); });
        const std::uint64_t fast_digest = rendered_digest();
        const bool match = plain_digest == fast_digest && plain_digest != 0;
        all_match = all_match && match;
        // Measured next to the render, as the machine's load comes and goes.
        const auto probed = static_cast<std::int64_t>(std::min(std::max(positions, 1e7), 5e8));
        double limit_rate = 0.0;
        for (int r = 0; r < 2; ++r)
            limit_rate = std::max(limit_rate, probe_rate(kernels, c.direction, probed / hardware_threads()));
        const double limit = positions / limit_rate;
        char picture[32];
        std::snprintf(picture, sizeof picture, "%dx%d", c.width, c.height);
        std::printf("%-11s %-10s %3d %12.3g %12.3g %12.3g %9.1f %9.1f %7.1fx %8.2fx %6s\n", picture,
                    quality_names[c.quality], c.direction, positions / plain, positions / fast, limit_rate,
                    plain * 1e3, fast * 1e3, plain / fast, fast / limit, match ? "same" : "DIFFER");
        std::fflush(stdout);
    }
    std::printf("\npos/s: apparent positions per second (two per sample, one in each pass); best of 3 runs\n"
                "(plain: 2, or 1 for the largest). limit: the solver's arithmetic on registers alone, on every\n"
                "thread, measured after each case. vs limit: fast time over the limit's time for as many\n"
                "positions.\n");
    free_images();
    return all_match ? 0 : 1;
}
