# The instruction sets of the renderer's vector kernels (and of the
# benchmark's probes, built from the same packs): LUMIRUN_SIMD_LEVELS is
# sse2 avx2 avx512 on x86-64, wasm128 in the browser edition and empty
# elsewhere; LUMIRUN_SIMD_DEFINITION tells the dispatcher which of them it
# has. lumirun_simd_object(TARGET LEVEL SOURCE) adds an object library
# compiled for one level.
set(LUMIRUN_SIMD_LEVELS "")
set(LUMIRUN_SIMD_DEFINITION "")
if(EMSCRIPTEN)
  set(LUMIRUN_SIMD_LEVELS wasm128)
  set(LUMIRUN_SIMD_DEFINITION LUMIRUN_WASM_KERNELS)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
  set(LUMIRUN_SIMD_LEVELS sse2 avx2 avx512)
  set(LUMIRUN_SIMD_DEFINITION LUMIRUN_X86_KERNELS)
endif()
set(lumirun_simd_flags_sse2 "")
set(lumirun_simd_flags_avx2 -mavx2)
set(lumirun_simd_flags_avx512 -mavx512f)
set(lumirun_simd_flags_wasm128 -msimd128)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12's AVX-512 headers trip its own uninitialized checks (their
  # "undefined" pass-through vectors; the plain check too at -O1, as the
  # ThreadSanitizer tree builds); the warnings say nothing about us.
  list(APPEND lumirun_simd_flags_avx512 -Wno-maybe-uninitialized -Wno-uninitialized)
endif()

function(lumirun_simd_object target level source)
  add_library(${target} OBJECT ${source})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${lumirun_simd_flags_${level}})
  target_compile_definitions(${target} PRIVATE ${LUMIRUN_SIMD_DEFINITION})
  if(WIN32)
    # The Windows x64 stack is only 16-byte aligned and GCC cannot realign
    # it for 32- and 64-byte spills: have the assembler use unaligned moves.
    target_compile_options(${target} PRIVATE -Wa,-muse-unaligned-vector-move)
  endif()
endfunction()
