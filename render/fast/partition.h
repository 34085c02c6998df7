// Shares of the renderer's samples that never write the same pixel.
//
// Where a pixel's row (or column) follows from the sample's row (or column)
// alone, as a nondecreasing key, splitting the rows (or columns) only where
// the key changes gives every worker pixels no other worker touches; each
// worker then keeps the plain order among its own samples, so the last write
// to every pixel is the plain order's last write.
#ifndef LUMIRUN_RENDER_FAST_PARTITION_H
#define LUMIRUN_RENDER_FAST_PARTITION_H

#include <cstdint>

struct index_range {
    std::int32_t begin;
    std::int32_t end;
};

// Part `part` of `parts` consecutive ranges covering [0, count), of about
// count / parts entries each, every inner boundary moved forward to the next
// index whose key differs from the one before it (parts may then be empty).
// keys holds count nondecreasing values.
index_range part_between_keys(const std::int64_t* keys, std::int32_t count, int part, int parts);

#endif
