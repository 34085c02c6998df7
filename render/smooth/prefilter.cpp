#include "render/smooth/prefilter.h"

#include <atomic>

#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"

namespace {

// The source is turned in tiles of this many pixels a side: each tile's
// rows are read and its columns written as short runs.
constexpr std::int32_t turn_tile = 64;

// Turns the tiles of source columns [first, first + turn_tile) into rows.
template <typename T>
void turn_columns_of(const T* from, std::int32_t width, std::int32_t height, std::int32_t stride,
                     std::int32_t first, T* to)
{
    const std::int32_t end = first + turn_tile < width ? first + turn_tile : width;
    for (std::int32_t top = 0; top < height; top += turn_tile) {
        const std::int32_t bottom = top + turn_tile < height ? top + turn_tile : height;
        for (std::int32_t x = first; x < end; ++x) {
            T* column = to + (static_cast<std::int64_t>(x) * height * 3);
            for (std::int32_t y = top; y < bottom; ++y) {
                const T* pixel = from + ((static_cast<std::int64_t>(y) * stride + x) * 3);
                column[y * 3] = pixel[0];
                column[(y * 3) + 1] = pixel[1];
                column[(y * 3) + 2] = pixel[2];
            }
        }
    }
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
    const std::int32_t groups = (source.width + turn_tile - 1) / turn_tile;
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, static_cast<std::int64_t>(source.width) * source.height), [](int) {},
        [&](int, int) {
            for (std::int32_t g = next.fetch_add(1); g < groups; g = next.fetch_add(1)) {
                if (source.values)
                    turn_columns_of(source.values, source.width, source.height, source.stride, g * turn_tile,
                                    made->turned_values.data());
                else
                    turn_columns_of(source.bytes, source.width, source.height, source.stride, g * turn_tile,
                                    made->turned_bytes.data());
            }
        });
    made->turned = smooth_source{source.values ? made->turned_values.data() : nullptr,
                                 source.values ? nullptr : made->turned_bytes.data(), source.height, source.width,
                                 source.height};
    made->rows = build_row_sums(source, tables, machine);
    made->columns = build_row_sums(made->turned, tables, machine);
    made->turned.sums = &made->columns;
    return made;
}
