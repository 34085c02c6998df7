// The kernel table of the avx512_pack.
#include "render/fast/pack_avx512.h"
#include "render/fast/kernel_tables.h"

const kernel_table avx512_kernels = make_kernel_table<avx512_pack>(simd_level::avx512, "AVX-512");
