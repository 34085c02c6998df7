// How many threads a fast render uses.
#ifndef LUMIRUN_RENDER_FAST_THREAD_COUNT_H
#define LUMIRUN_RENDER_FAST_THREAD_COUNT_H

#include <cstdint>

// requested 0: the processor's threads (at most 64), and one alone for a
// render too small to gain from more. Any other count is used as it is.
int render_threads_for(int requested, std::int64_t samples);

#endif
