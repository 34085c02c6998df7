// The filter of the smooth renderer from left to right and from top to
// bottom, along one axis of the source (straight at it, footprints are
// covered exactly: render/smooth/footprint_cover.h).
//
// An output pixel's footprint on an axis is a parallelogram's shadow: the
// footprint's width w at each point of the other axis, swept across the
// shear s as that point moves; its extent is e = w + s. The pixel's value is
// the average of the piecewise-constant source (pixel i covers [i, i + 1))
// over the footprint, the source first blurred by a box of max(1 - e, 0):
// on the axis the kernel is box(w) * box(s) * box(max(1 - e, 0)).
// - e >= 1: the exact average over the footprint; at e = 1 on the source's
//   own grid (speed 0), the source pixel itself.
// - e -> 0: box(1) about a point, which is bilinear interpolation between
//   pixel centres.
// - in between a kernel one source pixel wide: never narrower than a pixel,
//   so nothing aliases, and continuous in w and s.
#ifndef LUMIRUN_RENDER_SMOOTH_FOOTPRINT_FILTER_H
#define LUMIRUN_RENDER_SMOOTH_FOOTPRINT_FILTER_H

// The convolution of three centred boxes: a trapezoid box(wide) *
// box(narrow), then box(blur), the narrowest of the three.
struct footprint_kernel {
    double wide;
    double narrow;
    double blur;
    double support;  // the sum of the three
};

// Three box widths in any order, none negative.
footprint_kernel make_kernel(double a, double b, double c);

// The share of the trapezoid below u, u measured from its left end.
inline double trapezoid_share(const footprint_kernel& k, double u)
{
    const double base = k.wide + k.narrow;
    if (!(u > 0.0))
        return 0.0;
    if (u >= base)
        return 1.0;
    if (u < k.narrow)
        return (u * u) / ((2.0 * k.wide) * k.narrow);
    if (u > k.wide) {
        const double v = base - u;
        return 1.0 - ((v * v) / ((2.0 * k.wide) * k.narrow));
    }
    return (u - (k.narrow / 2.0)) / k.wide;
}

// The integral of trapezoid_share from 0 to u (piecewise cubic).
double trapezoid_share_integral(const footprint_kernel& k, double u);

// The share of the kernel, centred at 0, that lies below t. Blurs too narrow
// to tell in double are left out.
inline double kernel_share_below(const footprint_kernel& k, double t)
{
    const double half = k.support / 2.0;
    if (!(t > -half))
        return 0.0;
    if (t >= half)
        return 1.0;
    const double base_half = (k.wide + k.narrow) / 2.0;
    if (k.blur < 1e-6)
        return trapezoid_share(k, t + base_half);
    const double blur_half = k.blur / 2.0;
    return (trapezoid_share_integral(k, (t + base_half) + blur_half)
            - trapezoid_share_integral(k, (t + base_half) - blur_half))
           / k.blur;
}

#endif
