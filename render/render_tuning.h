// How the renderer uses the machine: how many threads and which vector
// width. The program keeps the defaults; the tests and the benchmark change
// them to hold every version to the same bytes and to compare speeds.
#ifndef LUMIRUN_RENDER_RENDER_TUNING_H
#define LUMIRUN_RENDER_RENDER_TUNING_H

#include <cstdint>

#include "render/kernels.h"

// 0, the default: the processor's threads, and one alone for a render too
// small to gain from more. Any other count is used as it is.
void set_render_threads(int count);

// The threads a render of this many samples per pass uses.
int render_threads_for(std::int64_t samples);

// The default is the widest the processor has. An unsupported level is
// refused (false) and the level stays as it was.
bool set_render_simd(simd_level level);
simd_level render_simd();

#endif
