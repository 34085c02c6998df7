// The benchmark's baseline: the plain algorithm written as well as plain
// code can be. One thread, scalar, the solver inlined in the loops, the
// direction chosen once per render, no progress; the same arithmetic in the
// same order, so the same bytes as the renderer.
#ifndef LUMIRUN_TESTS_BENCH_BASELINE_RENDERER_H
#define LUMIRUN_TESTS_BENCH_BASELINE_RENDERER_H

#include "render/renderer.h"

// The rendered raster of a render whose settings name one of the directions
// and qualities; absent when it cannot be had.
raster baseline_render(const raster& source, const render_settings& settings);

#endif
