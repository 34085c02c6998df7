#include "render/fast/pack_avx512.h"
#include "tests/bench/probe_body.h"

double probe_avx512(std::int32_t direction, std::int64_t samples)
{
    return probe_pack<avx512_pack, 8>(direction, samples);
}
