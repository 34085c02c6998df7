#include "render/sample_coordinates.h"

bool steps_for_quality(quality_level quality, sample_steps* steps)
{
    switch (quality) {
    case quality_level::low: *steps = {1.0, 1.0}; return true;
    case quality_level::medium: *steps = {0.2, 0.2}; return true;
    case quality_level::high: *steps = {0.1, 0.1}; return true;
    case quality_level::ultra: *steps = {0.05, 0.05}; return true;
    }
    return false;
}

std::vector<double> sample_coordinates(std::int32_t limit, double step)
{
    std::vector<double> values;
    for (double v = 0.0; static_cast<double>(limit) > v; v += step)
        values.push_back(v);
    return values;
}
