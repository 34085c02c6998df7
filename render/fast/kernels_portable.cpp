// The kernel table of the scalar_pack.
#include "render/fast/pack_portable.h"
#include "render/fast/kernel_tables.h"

const kernel_table portable_kernels = make_kernel_table<scalar_pack>(simd_level::portable, "portable");
