#include "render/fast/pack_avx2.h"
#include "tests/bench/probe_body.h"

double probe_avx2(std::int32_t direction, std::int64_t samples)
{
    return probe_pack<avx2_pack, 6>(direction, samples);
}
