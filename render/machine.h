// How a render uses the machine. The product takes the defaults; tests and
// the benchmark choose, to hold every way of rendering to the same bytes
// and to compare their speeds.
#ifndef LUMIRUN_RENDER_MACHINE_H
#define LUMIRUN_RENDER_MACHINE_H

#include <cstdint>

// The vector kernels' instruction sets; wasm128 only in the browser edition.
// New levels go at the end, so that no value changes.
enum class simd_level : std::int32_t { portable, sse2, avx2, avx512, wasm128 };

enum class render_path : std::int32_t {
    fast,       // every core, the widest vectors (render/fast/)
    reference,  // one thread, one apparent_position call per sample, in the
                // loop order that defines the result
};

struct render_machine {
    render_path path = render_path::fast;
    // 0: the processor's threads, and one alone for a render too small to
    // gain from more. Any other count is used as it is. The exact renderer's fast
    // path and the smooth renderer.
    int threads = 0;
    // The same two; false: the widest level the processor has.
    bool simd_chosen = false;
    simd_level simd = simd_level::portable;
};

#endif
