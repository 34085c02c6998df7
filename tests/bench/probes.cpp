#include "tests/bench/probes.h"

double probe_portable(std::int32_t direction, std::int64_t samples);
#ifdef LUMIRUN_X86_KERNELS
double probe_sse2(std::int32_t direction, std::int64_t samples);
double probe_avx2(std::int32_t direction, std::int64_t samples);
double probe_avx512(std::int32_t direction, std::int64_t samples);
#endif

double arithmetic_probe(simd_level level, std::int32_t direction, std::int64_t samples)
{
    switch (level) {
#ifdef LUMIRUN_X86_KERNELS
    case simd_level::sse2: return probe_sse2(direction, samples);
    case simd_level::avx2: return probe_avx2(direction, samples);
    case simd_level::avx512: return probe_avx512(direction, samples);
#endif
    default: return probe_portable(direction, samples);
    }
}
