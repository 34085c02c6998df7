#include "render/fast/fast_passes.h"

#include "render/fast/draw_pass.h"
#include "render/fast/measure_pass.h"
#include "render/fast/thread_count.h"

fast_passes::fast_passes(const sample_grid& grid, const render_machine& machine)
    : terms_(*grid.view, static_cast<std::int32_t>(grid.direction), *grid.xs, *grid.ys),
      setup_{&terms_.view(), &kernels_for(machine),
             render_threads_for(machine.threads, static_cast<std::int64_t>(grid.xs->size())
                                                     * static_cast<std::int64_t>(grid.ys->size())),
             {}}
{
}

void fast_passes::measure(position_box* box, const column_reporter& report)
{
    setup_.report = report;
    rows_in_order_ = measure_positions(setup_, box);
}

void fast_passes::draw(const draw_target& target, const column_reporter& report)
{
    setup_.report = report;
    draw_positions(setup_, target, rows_in_order_);
}
