// The kernel table of the wasm128_pack.
#include "render/fast/pack_wasm128.h"
#include "render/fast/kernel_tables.h"

const kernel_table wasm128_kernels = make_kernel_table<wasm128_pack>(simd_level::wasm128, "WebAssembly SIMD");
