// The kernel tables of each instruction set, for the dispatcher alone.
#ifndef LUMIRUN_RENDER_FAST_KERNEL_TABLES_H
#define LUMIRUN_RENDER_FAST_KERNEL_TABLES_H

#include "render/fast/kernels.h"

extern const kernel_table portable_kernels;
#ifdef LUMIRUN_X86_KERNELS
extern const kernel_table sse2_kernels;
extern const kernel_table avx2_kernels;
extern const kernel_table avx512_kernels;
#endif
#ifdef LUMIRUN_WASM_KERNELS
extern const kernel_table wasm128_kernels;
#endif

#endif
