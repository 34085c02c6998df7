// What the processor allows: the solver's per-sample arithmetic on values
// held in registers, at one vector width, on the calling thread. Returns a
// checksum (so that nothing is optimised away).
#ifndef LUMIRUN_TESTS_BENCH_PROBES_H
#define LUMIRUN_TESTS_BENCH_PROBES_H

#include <cstdint>

#include "render/machine.h"

double arithmetic_probe(simd_level level, std::int32_t direction, std::int64_t samples);

#endif
