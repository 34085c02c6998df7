#include "render/smooth/prefilter.h"

#include <atomic>
#include <cstddef>

#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"

namespace {

// The source is turned in strips of this many columns, top to bottom:
// each source row's piece is read at once and every turned row gets a
// short run at a time.
constexpr std::int32_t turn_strip = 64;

// Source rows summed by one worker at a time.
constexpr std::int32_t sum_band = 8;

// Each source row's piece of a strip is a few cache lines far from the
// last row's: they are asked for this many rows ahead, so that their reads
// overlap instead of each waiting for memory in turn.
constexpr std::int32_t read_ahead = 16;

void fetch_ahead(const void* from, std::size_t bytes)
{
#if defined(__GNUC__)
    const char* at = static_cast<const char*>(from);
    for (std::size_t k = 0; k < bytes; k += 64)
        __builtin_prefetch(at + k);
    __builtin_prefetch(at + bytes - 1);
#else
    (void)from;
    (void)bytes;
#endif
}

// Turns source columns [first, end) into rows of `to` and sums each as it
// goes (into columns, the turned rows' sums): its light added one by one
// from y = 0, as sum_rows adds a row's, the strip's columns side by side
// so that their chains of adds overlap.
template <typename T, typename Light>
void turn_columns_of(const T* from, std::int32_t height, std::int32_t stride, std::int32_t first, std::int32_t end,
                     Light light, T* to, smooth_row_sums* columns)
{
    const std::int32_t columns_here = end - first;
    const std::int64_t run = static_cast<std::int64_t>(height) * 3;  // one turned row
    const std::int64_t steps = columns->steps;
    double* before = columns->before.data() + (static_cast<std::int64_t>(first) * steps * 3);
    T* turned = to + (first * run);
    double total[turn_strip][3] = {};
    const auto keep = [&](std::int64_t k) {
        for (std::int32_t x = 0; x < columns_here; ++x)
            for (int c = 0; c < 3; ++c)
                before[((x * steps + k) * 3) + c] = total[x][c];
    };
    for (std::int32_t y = 0; y < height; ++y) {
        if (y % sum_step == 0)
            keep(y / sum_step);
        const T* row = from + ((static_cast<std::int64_t>(y) * stride + first) * 3);
        if (y + read_ahead < height)
            fetch_ahead(row + (static_cast<std::int64_t>(read_ahead) * stride * 3), columns_here * 3 * sizeof(T));
        T* column = turned + (static_cast<std::int64_t>(y) * 3);
        for (std::int32_t x = 0; x < columns_here; ++x, row += 3, column += run) {
            const T r = row[0], g = row[1], b = row[2];
            column[0] = r;
            column[1] = g;
            column[2] = b;
            total[x][0] += light(r);
            total[x][1] += light(g);
            total[x][2] += light(b);
        }
    }
    keep(steps - 1);
}

}  // namespace

std::uint64_t prefilter_bytes(std::int32_t width, std::int32_t height, bool values)
{
    const std::uint64_t copy = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3
                               * (values ? sizeof(float) : 1);
    return copy + row_sums_bytes(width, height) + row_sums_bytes(height, width);
}

std::shared_ptr<const smooth_prefilter> build_prefilter(const smooth_source& source,
                                                        const srgb_light_tables& tables,
                                                        const render_machine& machine)
{
    auto made = std::make_shared<smooth_prefilter>();
    if (!source.present() || source.width <= 0 || source.height <= 0)
        return made;
    const std::size_t count = static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height) * 3;
    if (source.values)
        made->turned_values.resize(count);
    else
        made->turned_bytes.resize(count);
    made->rows = unsummed_row_sums(source.width, source.height);
    made->columns = unsummed_row_sums(source.height, source.width);
    // The strips first, the larger pieces, then the bands of rows, so
    // that the workers finish together.
    const std::int32_t strips = (source.width + turn_strip - 1) / turn_strip;
    const std::int32_t bands = (source.height + sum_band - 1) / sum_band;
    const byte_light bytes_light(tables);
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, static_cast<std::int64_t>(source.width) * source.height), [](int) {},
        [&](int, int) {
            for (std::int32_t g = next.fetch_add(1); g < strips + bands; g = next.fetch_add(1)) {
                if (g >= strips) {
                    const std::int32_t top = (g - strips) * sum_band;
                    const std::int32_t bottom = top + sum_band < source.height ? top + sum_band : source.height;
                    sum_rows(source, bytes_light, top, bottom, &made->rows);
                    continue;
                }
                const std::int32_t first = g * turn_strip;
                const std::int32_t end = first + turn_strip < source.width ? first + turn_strip : source.width;
                if (source.values)
                    turn_columns_of(source.values, source.height, source.stride, first, end,
                                    [](float v) { return static_cast<double>(v); }, made->turned_values.data(),
                                    &made->columns);
                else
                    turn_columns_of(source.bytes, source.height, source.stride, first, end,
                                    [light = bytes_light.of](unsigned char b) { return light[b]; },
                                    made->turned_bytes.data(), &made->columns);
            }
        });
    made->turned = smooth_source{source.values ? made->turned_values.data() : nullptr,
                                 source.values ? nullptr : made->turned_bytes.data(), source.height, source.width,
                                 source.height};
    made->turned.sums = &made->columns;
    return made;
}
