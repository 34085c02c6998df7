#include "render/fast/thread_count.h"

#include "render/fast/parallel.h"

namespace {

// Below this many samples a pass takes a fraction of a millisecond on one
// core, no more than starting threads costs (far more under Wine).
constexpr std::int64_t samples_worth_a_thread = 1 << 18;

}  // namespace

int render_threads_for(int requested, std::int64_t samples)
{
    if (requested > 0)
        return requested;
    if (samples < samples_worth_a_thread)
        return 1;
    // More threads than this gain little on one picture and cost memory.
    const int most = 64;
    const int threads = hardware_threads();
    return threads < most ? threads : most;
}
