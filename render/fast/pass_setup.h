// What both fast passes are given: the solver terms, the kernels of one
// vector width, the thread count and where finished columns are told.
#ifndef LUMIRUN_RENDER_FAST_PASS_SETUP_H
#define LUMIRUN_RENDER_FAST_PASS_SETUP_H

#include "render/fast/kernels.h"
#include "render/fast/parallel.h"
#include "render/fast/terms_view.h"

struct pass_setup {
    const terms_view* grid;
    const kernel_table* kernels;
    int threads;
    column_progress::reporter report;
};

#endif
