// The kernel table of the avx2_pack.
#include "render/fast/pack_avx2.h"
#include "render/fast/kernel_tables.h"

const kernel_table avx2_kernels = make_kernel_table<avx2_pack>(simd_level::avx2, "AVX2");
