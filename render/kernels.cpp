#include "render/kernels.h"

#include "render/kernel_tables.h"

position_box empty_box()
{
    const double inf = __builtin_inf();
    return position_box{inf, -inf, inf, -inf};
}

void include_position(position_box* box, double x, double y)
{
    const double inf = __builtin_inf();
    if (!(x > -inf && x < inf && y > -inf && y < inf))
        return;
    merge_box(box, position_box{x, x, y, y});
}

// The box's sentinels never win a strict comparison against a finite value,
// so an empty box changes nothing and the first finite value is taken.
void merge_box(position_box* box, const position_box& later)
{
    if (later.min_x < box->min_x)
        box->min_x = later.min_x;
    if (later.max_x > box->max_x)
        box->max_x = later.max_x;
    if (later.min_y < box->min_y)
        box->min_y = later.min_y;
    if (later.max_y > box->max_y)
        box->max_y = later.max_y;
}

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
    default:
        return false;
    }
}

std::vector<simd_level> supported_simd_levels()
{
    std::vector<simd_level> levels;
    for (simd_level level : {simd_level::portable, simd_level::sse2, simd_level::avx2, simd_level::avx512}) {
        if (simd_level_supported(level))
            levels.push_back(level);
    }
    return levels;
}

simd_level best_simd_level()
{
    const simd_level widest_first[] = {simd_level::avx512, simd_level::avx2, simd_level::sse2};
    for (simd_level level : widest_first) {
        if (simd_level_supported(level))
            return level;
    }
    return simd_level::portable;
}

const char* simd_level_name(simd_level level)
{
    switch (level) {
    case simd_level::portable: return "portable";
    case simd_level::sse2: return "SSE2";
    case simd_level::avx2: return "AVX2";
    case simd_level::avx512: return "AVX-512";
    }
    return "?";
}

const kernel_table& kernels_for(simd_level level)
{
    switch (level) {
#ifdef LUMIRUN_X86_KERNELS
    case simd_level::sse2: return sse2_kernels;
    case simd_level::avx2: return avx2_kernels;
    case simd_level::avx512: return avx512_kernels;
#endif
    default: return portable_kernels;
    }
}
