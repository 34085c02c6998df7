#include "render/render_tuning.h"

#include "render/parallel.h"

namespace {

int thread_setting = 0;
bool simd_chosen = false;
simd_level simd_setting = simd_level::portable;

// Below this many samples a pass takes a fraction of a millisecond on one
// core, no more than starting threads costs (far more under Wine).
constexpr std::int64_t samples_worth_a_thread = 1 << 18;

}  // namespace

void set_render_threads(int count)
{
    thread_setting = count < 0 ? 0 : count;
}

int render_threads_for(std::int64_t samples)
{
    if (thread_setting > 0)
        return thread_setting;
    if (samples < samples_worth_a_thread)
        return 1;
    // More threads than this gain little on one picture and cost memory.
    const int most = 64;
    const int threads = hardware_threads();
    return threads < most ? threads : most;
}

bool set_render_simd(simd_level level)
{
    if (!simd_level_supported(level))
        return false;
    simd_setting = level;
    simd_chosen = true;
    return true;
}

simd_level render_simd()
{
    if (!simd_chosen) {
        simd_setting = best_simd_level();
        simd_chosen = true;
    }
    return simd_setting;
}
