// The renderer's fast path: both passes on every core with the widest
// vectors the processor has, byte for byte what the reference path gives.
#ifndef LUMIRUN_RENDER_FAST_FAST_PASSES_H
#define LUMIRUN_RENDER_FAST_FAST_PASSES_H

#include "render/fast/pass_setup.h"
#include "render/fast/solver_terms.h"
#include "render/machine.h"
#include "render/render_passes.h"

class fast_passes : public render_passes {
public:
    // Works out the solver terms of the grid; may throw std::bad_alloc.
    fast_passes(const sample_grid& grid, const render_machine& machine);
    void measure(position_box* box, const column_reporter& report) override;
    void draw(const draw_target& target, const column_reporter& report) override;

private:
    solver_terms terms_;
    pass_setup setup_;
    bool rows_in_order_ = true;  // what pass 1 found, for pass 2
};

#endif
