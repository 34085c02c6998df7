#include "render/smooth/row_sums.h"

#include <cstdint>

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

// The sums of `rows` rows of pixels of type T, `stride` values apart, each
// pixel decoded by light. Each row's sum is a chain of adds that must stay
// in order; several rows side by side keep the processor busy meanwhile.
template <int rows, typename T, typename Light>
void sum_rows_of(const T* row, std::int64_t stride, std::int32_t width, Light light, std::int64_t steps,
                 double* before)
{
    double total[rows][3] = {};
    std::int64_t k = 0;
    for (std::int32_t start = 0; start < width; start += sum_step, ++k) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < 3; ++c)
                before[((r * steps + k) * 3) + c] = total[r][c];
        const std::int32_t end = start + sum_step < width ? start + sum_step : width;
        for (std::int32_t x = start; x < end; ++x)
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < 3; ++c)
                    total[r][c] += light(row[(r * stride) + (x * 3) + c]);
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 3; ++c)
            before[((r * steps + k) * 3) + c] = total[r][c];
}

// Rows side by side in sum_rows_of.
constexpr std::int32_t rows_at_once = 4;

template <typename T, typename Light>
void sum_rows_from(const T* values, std::int32_t stride, std::int32_t width, Light light, std::int32_t first,
                   std::int32_t end, smooth_row_sums* sums)
{
    const std::int64_t row_values = static_cast<std::int64_t>(stride) * 3;
    for (std::int32_t y = first; y < end;) {
        const T* row = values + (y * row_values);
        double* before = sums->before.data() + (static_cast<std::int64_t>(y) * sums->steps * 3);
        if (end - y >= rows_at_once) {
            sum_rows_of<rows_at_once>(row, row_values, width, light, sums->steps, before);
            y += rows_at_once;
        } else {
            sum_rows_of<1>(row, row_values, width, light, sums->steps, before);
            ++y;
        }
    }
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

smooth_row_sums unsummed_row_sums(std::int32_t width, std::int32_t height)
{
    smooth_row_sums sums;
    if (width <= 0 || height <= 0)
        return sums;
    sums.width = width;
    sums.height = height;
    sums.steps = steps_for(width);
    sums.before.resize(static_cast<std::size_t>(sums.steps) * static_cast<std::size_t>(height) * 3);
    return sums;
}

void sum_rows(const smooth_source& s, const byte_light& light, std::int32_t first, std::int32_t end,
              smooth_row_sums* sums)
{
    if (s.values)
        sum_rows_from(s.values, s.stride, s.width, [](float v) { return static_cast<double>(v); }, first, end, sums);
    else if (s.bytes)
        sum_rows_from(s.bytes, s.stride, s.width, [of = light.of](unsigned char b) { return of[b]; }, first, end,
                      sums);
}
