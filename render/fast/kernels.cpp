#include "render/fast/kernels.h"

#include "render/fast/kernel_tables.h"

bool simd_level_supported(simd_level level)
{
    switch (level) {
    case simd_level::portable:
        return true;
#ifdef LUMIRUN_X86_KERNELS
    case simd_level::sse2:
        return true;  // part of x86-64
    case simd_level::avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case simd_level::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
#ifdef LUMIRUN_WASM_KERNELS
    case simd_level::wasm128:
        return true;  // the core is built with -msimd128: it runs nowhere without
#endif
    default:
        return false;
    }
}

simd_level best_simd_level()
{
    const simd_level widest_first[] = {simd_level::avx512, simd_level::avx2, simd_level::sse2, simd_level::wasm128};
    for (simd_level level : widest_first) {
        if (simd_level_supported(level))
            return level;
    }
    return simd_level::portable;
}

const kernel_table& kernels_for(simd_level level)
{
    switch (level) {
#ifdef LUMIRUN_X86_KERNELS
    case simd_level::sse2: return sse2_kernels;
    case simd_level::avx2: return avx2_kernels;
    case simd_level::avx512: return avx512_kernels;
#endif
#ifdef LUMIRUN_WASM_KERNELS
    case simd_level::wasm128: return wasm128_kernels;
#endif
    default: return portable_kernels;
    }
}

const kernel_table& kernels_for(const render_machine& machine)
{
    if (machine.simd_chosen && simd_level_supported(machine.simd))
        return kernels_for(machine.simd);
    return kernels_for(best_simd_level());
}
