#include "render/smooth/footprint_filter.h"

footprint_kernel make_kernel(double a, double b, double c)
{
    // Sorted: wide >= narrow >= blur.
    if (a < b) {
        const double t = a;
        a = b, b = t;
    }
    if (b < c) {
        const double t = b;
        b = c, c = t;
    }
    if (a < b) {
        const double t = a;
        a = b, b = t;
    }
    // A point footprint with no blur: a box too narrow to matter.
    if (!(a > 0.0))
        a = 1e-9;
    return footprint_kernel{a, b, c, (a + b) + c};
}

double trapezoid_share_integral(const footprint_kernel& k, double u)
{
    const double wide = k.wide;
    const double narrow = k.narrow;
    const double base = wide + narrow;
    if (!(u > 0.0))
        return 0.0;
    if (u < narrow)
        return ((u * u) * u) / ((6.0 * wide) * narrow);
    const double at_narrow = (narrow * narrow) / (6.0 * wide);
    if (u <= wide) {
        const double from = u - (narrow / 2.0);
        return at_narrow + (((from * from) - ((narrow * narrow) / 4.0)) / (2.0 * wide));
    }
    const double at_wide = at_narrow + ((wide - narrow) / 2.0);
    if (u < base) {
        const double v = base - u;
        return (at_wide + (u - wide)) - ((((narrow * narrow) * narrow) - ((v * v) * v)) / ((6.0 * wide) * narrow));
    }
    return (base / 2.0) + (u - base);
}
