#include "render/sample_grid.h"

std::vector<double> sample_coordinates(std::int32_t limit, double step)
{
    std::vector<double> values;
    for (double v = 0.0; static_cast<double>(limit) > v; v += step)
        values.push_back(v);
    return values;
}
