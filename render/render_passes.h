// The two passes as the renderer's frame drives them, whichever path does
// the work. The frame owns the steps, the sizing, the progress and the entry
// checks; a path only visits samples.
#ifndef LUMIRUN_RENDER_RENDER_PASSES_H
#define LUMIRUN_RENDER_RENDER_PASSES_H

#include <cstdint>
#include <functional>
#include <vector>

#include "render/observer.h"
#include "render/position_box.h"

// Told when a column of the sample grid is finished, in column order, on the
// calling thread.
using column_reporter = std::function<void(std::int32_t column)>;

// What one render samples: the view, the direction (one of the three) and
// the sample coordinates of each axis.
struct sample_grid {
    const view_parameters* view;
    fly_by_direction direction;
    const std::vector<double>* xs;
    const std::vector<double>* ys;
};

// Where pass 2 copies to and from.
struct draw_target {
    const unsigned char* source;  // never null
    std::int32_t source_width;
    unsigned char* destination;
    std::int32_t destination_width;
    double min_x;
    double min_y;
    std::int32_t destination_height;
    // When not null, one entry per destination pixel: each write also stores
    // (column << 32) | row of its sample there (pixel_origins).
    std::int64_t* origins = nullptr;
};

class render_passes {
public:
    virtual ~render_passes() = default;
    // Pass 1: adds every sample's position to box (strict comparisons,
    // non-finite positions left out), as adding them one by one in the plain
    // order does, but for the sign of a zero bound (which no difference the
    // frame takes of it can show).
    virtual void measure(position_box* box, const column_reporter& report) = 0;
    // Pass 2: copies the source pixel under every sample to its position
    // less (min_x, min_y); every pixel ends with its last write in the plain
    // order (columns outer, rows inner), and so does its origin.
    virtual void draw(const draw_target& target, const column_reporter& report) = 0;
};

// The plain loops: one thread, one apparent_position call per sample.
class reference_passes : public render_passes {
public:
    explicit reference_passes(const sample_grid& grid) : grid_(grid) {}
    void measure(position_box* box, const column_reporter& report) override;
    void draw(const draw_target& target, const column_reporter& report) override;

private:
    sample_grid grid_;
};

#endif
