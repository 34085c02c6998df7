#include "render/fast/pack_sse2.h"
#include "tests/bench/probe_body.h"

double probe_sse2(std::int32_t direction, std::int64_t samples)
{
    return probe_pack<sse2_pack, 6>(direction, samples);
}
