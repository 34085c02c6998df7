// The renderer's sample coordinates along one axis: 0.0, then repeated
// addition of the step while the value is below the limit. The values carry
// the rounding of every addition (with step 0.2 the eleventh is
// 1.9999999999999998), so they are produced exactly as the loop produces them
// and never as i * step.
#ifndef LUMIRUN_RENDER_SAMPLE_GRID_H
#define LUMIRUN_RENDER_SAMPLE_GRID_H

#include <cstdint>
#include <vector>

// step must be positive.
std::vector<double> sample_coordinates(std::int32_t limit, double step);

#endif
