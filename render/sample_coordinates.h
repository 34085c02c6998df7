// Where the renderer samples the picture.
//
// Along each axis: 0.0, then repeated addition of the step while the value
// is below the limit. The values carry the rounding of every addition (with
// step 0.2 the eleventh is 1.9999999999999998), so they are produced exactly
// as the loop produces them and never as i * step.
#ifndef LUMIRUN_RENDER_SAMPLE_COORDINATES_H
#define LUMIRUN_RENDER_SAMPLE_COORDINATES_H

#include <cstdint>
#include <vector>

// The Render Quality dialog's four levels; 32 bits wide like the setting, so
// that another value can still be passed.
enum class quality_level : std::int32_t { low = 1, medium = 2, high = 3, ultra = 4 };

// Sample spacing in source pixels.
struct sample_steps {
    double x = 0.0;
    double y = 0.0;
};

// low -> 1.0, medium -> 0.2, high -> 0.1, ultra -> 0.05 (the doubles nearest
// those decimals). false, and *steps unchanged, for another value.
bool steps_for_quality(quality_level quality, sample_steps* steps);

// step must be positive.
std::vector<double> sample_coordinates(std::int32_t limit, double step);

#endif
