// Bands of destination rows in columns whose destination rows never
// decrease from row to row: the samples of a column that land in a band are
// then consecutive rows, found by searching instead of by computing every
// position. Positions come from apparent_position, which gives the kernels'
// bits, so the rows found are those the kernels write.
#ifndef LUMIRUN_RENDER_FAST_ROW_BANDS_H
#define LUMIRUN_RENDER_FAST_ROW_BANDS_H

#include <cstdint>
#include <vector>

#include "render/fast/terms_view.h"
#include "render/fast/partition.h"

// trunc(Y - min_y) of a sample.
std::int32_t destination_row(const terms_view& g, double min_y, std::int32_t column, std::int32_t row);

// The first row of a column whose destination row is `target` or more; rows
// when there is none. The search starts at `hint` (the answer for a
// neighbouring column, say) and widens from there.
std::int32_t first_row_reaching(const terms_view& g, double min_y, std::int32_t column, std::int32_t target,
                                std::int32_t hint);

// Bounds of `workers` bands covering destination rows [0, height), each
// holding about as many samples, counted on a few columns spread over the
// picture: workers + 1 nondecreasing values from 0 to height.
std::vector<std::int32_t> balanced_bands(const terms_view& g, double min_y, std::int32_t height, int workers);

// The rows of each column that one worker draws, in tiles: either the same
// rows in every column, cut into tiles of about tile_rows rows that end where
// the destination row changes (keys: the destination row of each sample
// row, nondecreasing), so that each destination row is in one tile; or, as
// one tile, the rows that land in the destination rows [first, end), found
// by searching each column, starting where the last column's were (call it
// for the columns in order).
class column_rows {
public:
    column_rows(index_range rows, const std::int64_t* keys, std::int32_t tile_rows);
    column_rows(const terms_view& g, double min_y, std::int32_t height, std::int32_t first, std::int32_t end)
        : grid_(&g), min_y_(min_y), first_(first), end_(end), all_from_(first <= 0), all_to_(end >= height)
    {
    }
    std::size_t tiles() const { return grid_ == nullptr ? tiles_.size() : 1; }
    index_range of(std::size_t tile, std::int32_t column);

private:
    std::vector<index_range> tiles_;
    const terms_view* grid_ = nullptr;
    double min_y_ = 0.0;
    std::int32_t first_ = 0;
    std::int32_t end_ = 0;
    bool all_from_ = true;
    bool all_to_ = true;
    std::int32_t begin_hint_ = 0;
    std::int32_t end_hint_ = 0;
};

#endif
