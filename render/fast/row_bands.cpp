#include "render/fast/row_bands.h"

#include <algorithm>

#include "render/observer.h"

std::int32_t destination_row(const terms_view& g, double min_y, std::int32_t column, std::int32_t row)
{
    const auto direction = static_cast<fly_by_direction>(g.direction);
    return static_cast<std::int32_t>(apparent_position(g.view, direction, g.xs[column], g.ys[row]).y - min_y);
}

std::int32_t first_row_reaching(const terms_view& g, double min_y, std::int32_t column, std::int32_t target,
                                std::int32_t hint)
{
    const std::int64_t rows = g.rows;
    const auto reaches = [&](std::int64_t j) {
        return destination_row(g, min_y, column, static_cast<std::int32_t>(j)) >= target;
    };
    // The answer lies in (below, above]: row `below` (or -1) does not reach,
    // row `above` (or rows) does. 64 bits: the steps may pass 2^31.
    std::int64_t below = 0;
    std::int64_t above = 0;
    std::int64_t step = 1;
    const std::int64_t start = std::min<std::int64_t>(std::max(hint, 0), rows);
    if (start < rows && !reaches(start)) {
        for (below = start;; below = above, step *= 2) {
            above = below + step;
            if (above >= rows) {
                above = rows;
                break;
            }
            if (reaches(above))
                break;
        }
    } else {
        for (above = start;; above = below, step *= 2) {
            below = above - step;
            if (below < 0) {
                below = -1;
                break;
            }
            if (!reaches(below))
                break;
        }
    }
    while (above - below > 1) {
        const std::int64_t middle = below + (above - below) / 2;
        if (reaches(middle))
            above = middle;
        else
            below = middle;
    }
    return static_cast<std::int32_t>(above);
}

std::vector<std::int32_t> balanced_bands(const terms_view& g, double min_y, std::int32_t height, int workers)
{
    std::vector<std::int32_t> counted;
    const std::int32_t wanted = std::min(g.columns, 48);
    for (std::int32_t k = 0; k < wanted; ++k)
        counted.push_back(static_cast<std::int32_t>(std::int64_t{g.columns} * (2 * k + 1) / (2 * wanted)));
    const auto samples_above = [&](std::int32_t row) {
        std::int64_t n = 0;
        for (std::int32_t column : counted)
            n += first_row_reaching(g, min_y, column, row, g.rows / 2);
        return n;
    };
    const std::int64_t total = std::int64_t{g.rows} * static_cast<std::int64_t>(counted.size());
    std::vector<std::int32_t> bounds{0};
    for (int w = 1; w < workers; ++w) {
        // The first row with w / workers of the samples above it.
        const std::int64_t target = total * w / workers;
        std::int32_t low = bounds.back();
        std::int32_t high = height;
        while (low < high) {
            const std::int32_t middle = low + (high - low) / 2;
            if (samples_above(middle) >= target)
                high = middle;
            else
                low = middle + 1;
        }
        bounds.push_back(low);
    }
    bounds.push_back(height);
    return bounds;
}

column_rows::column_rows(index_range rows, const std::int64_t* keys, std::int32_t tile_rows)
{
    for (std::int32_t begin = rows.begin; begin < rows.end;) {
        std::int32_t end = begin + std::min(tile_rows, rows.end - begin);
        while (end < rows.end && keys[end] == keys[end - 1])
            ++end;
        tiles_.push_back({begin, end});
        begin = end;
    }
}

index_range column_rows::of(std::size_t tile, std::int32_t column)
{
    if (grid_ == nullptr)
        return tiles_[tile];
    if (!all_from_)
        begin_hint_ = first_row_reaching(*grid_, min_y_, column, first_, begin_hint_);
    end_hint_ = all_to_ ? grid_->rows : first_row_reaching(*grid_, min_y_, column, end_, end_hint_);
    return {all_from_ ? 0 : begin_hint_, end_hint_};
}
