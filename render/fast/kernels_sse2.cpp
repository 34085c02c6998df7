// The kernel table of the sse2_pack.
#include "render/fast/pack_sse2.h"
#include "render/fast/kernel_tables.h"

const kernel_table sse2_kernels = make_kernel_table<sse2_pack>(simd_level::sse2, "SSE2");
