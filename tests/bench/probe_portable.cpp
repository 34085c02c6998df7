#include "render/fast/pack_portable.h"
#include "tests/bench/probe_body.h"

double probe_portable(std::int32_t direction, std::int64_t samples)
{
    return probe_pack<scalar_pack, 4>(direction, samples);
}
