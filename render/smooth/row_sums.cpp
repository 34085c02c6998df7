#include "render/smooth/row_sums.h"

#include <atomic>

#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"
#include "render/smooth/smooth_passes.h"

namespace {

std::int32_t steps_for(std::int32_t width)
{
    return ((width + sum_step - 1) / sum_step) + 1;
}

// Adds the plain sum of row pixels [from, to) to out.
void add_plain(const smooth_source& s, const srgb_light_tables& t, std::int32_t y, std::int32_t from,
               std::int32_t to, double out[3])
{
    const std::int64_t row = static_cast<std::int64_t>(y) * s.stride;
    for (std::int32_t x = from; x < to; ++x) {
        const std::int64_t at = (row + x) * 3;
        for (int c = 0; c < 3; ++c)
            out[c] += static_cast<double>(s.at(t, at + c));
    }
}

// The sums of a row of pixels of type T, each decoded by light.
template <typename T, typename Light>
void sum_row_of(const T* row, std::int32_t width, const Light& light, double* before)
{
    double total[3] = {0.0, 0.0, 0.0};
    std::int32_t k = 0;
    for (std::int32_t start = 0; start < width; start += sum_step, ++k) {
        for (int c = 0; c < 3; ++c)
            before[k * 3 + c] = total[c];
        const std::int32_t end = start + sum_step < width ? start + sum_step : width;
        for (std::int32_t x = start; x < end; ++x)
            for (int c = 0; c < 3; ++c)
                total[c] += static_cast<double>(light(row[(x * 3) + c]));
    }
    for (int c = 0; c < 3; ++c)
        before[k * 3 + c] = total[c];
}

void sum_row(const smooth_source& s, const srgb_light_tables& t, std::int32_t y, smooth_row_sums* sums)
{
    double* before = sums->before.data() + static_cast<std::int64_t>(y) * sums->steps * 3;
    const std::int64_t row = static_cast<std::int64_t>(y) * s.stride * 3;
    if (s.values)
        sum_row_of(s.values + row, s.width, [](float v) { return v; }, before);
    else
        sum_row_of(s.bytes + row, s.width, [&t](unsigned char b) { return t.decode[b]; }, before);
}

}  // namespace

void add_row_span(const smooth_source& s, const srgb_light_tables& t, std::int32_t y, std::int32_t from,
                  std::int32_t to, double out[3])
{
    const smooth_row_sums& sums = *s.sums;
    // The steps inside the span: [first, last) sum_step.
    const std::int32_t first = (from + sum_step - 1) / sum_step;
    const std::int32_t last = to == sums.width ? sums.steps - 1 : to / sum_step;
    if (first >= last) {
        add_plain(s, t, y, from, to, out);
        return;
    }
    const double* before = sums.before.data() + static_cast<std::int64_t>(y) * sums.steps * 3;
    for (int c = 0; c < 3; ++c)
        out[c] += before[last * 3 + c] - before[first * 3 + c];
    add_plain(s, t, y, from, first * sum_step, out);
    if (to < sums.width)
        add_plain(s, t, y, last * sum_step, to, out);
}

std::uint64_t row_sums_bytes(std::int32_t width, std::int32_t height)
{
    return static_cast<std::uint64_t>(steps_for(width)) * static_cast<std::uint64_t>(height) * 3 * sizeof(double);
}

smooth_row_sums build_row_sums(const smooth_source& source, const srgb_light_tables& tables,
                               const render_machine& machine)
{
    smooth_row_sums sums;
    if (!source.present() || source.width <= 0 || source.height <= 0)
        return sums;
    sums.width = source.width;
    sums.height = source.height;
    sums.steps = steps_for(source.width);
    sums.before.resize(static_cast<std::size_t>(sums.steps) * static_cast<std::size_t>(source.height) * 3);
    std::atomic<std::int32_t> next{0};
    const std::int64_t work = static_cast<std::int64_t>(source.width) * source.height;
    run_workers(
        render_threads_for(machine.threads, work), [](int) {},
        [&](int, int) {
            for (std::int32_t y = next.fetch_add(1); y < source.height; y = next.fetch_add(1))
                sum_row(source, tables, y, &sums);
        });
    return sums;
}
