// The observer and the physics of the view.
//
// Coordinates are source pixels: the picture lies in the plane z = 0, x to the
// right along a row, y down the rows; the observer is on the side of negative
// z. All arithmetic is IEEE double in the written order (the build turns off
// FMA contraction), so the same sample gives the same bits in both render
// passes and on every platform.
#ifndef LUMIRUN_RENDER_OBSERVER_H
#define LUMIRUN_RENDER_OBSERVER_H

#include <cstdint>

struct observer_position {
    double observer_x = 0.0;
    double observer_y = 0.0;
    double observer_z = 0.0;  // set by every render from the direction
};

// Worked out once per render from the speed; read by the solvers.
struct motion_parameters {
    double beta = 0.0;
    double gamma = 0.0;
    double beta_squared = 0.0;
    double gamma_squared = 0.0;
    double beta_gamma_squared = 0.0;
};

extern observer_position observer;
extern motion_parameters motion;

constexpr double speed_of_light = 3e8;  // metres per second

// Observer to (0, 100); observer_z keeps its value. Both callers release the
// rasters just before, so nothing is left to mark absent here.
void reset_observer();
void set_observer(std::int32_t x, std::int32_t y);
void set_motion(double speed);

// The solvers of directions 0, 1 and 2: a root of the quadratic that the
// light-travel time gives. A discriminant that rounding made negative is
// taken as 0.0, so the result is always a real number.
double apparent_x(double x, double y, double z);
double apparent_y(double x, double y, double z);
double apparent_depth(double x, double y, double z);

struct apparent_point {
    double x;
    double y;
};

// Where the sample (x, y, 0) is seen, before the renderer shifts it by its
// bounds. Direction 2 draws at 20 times the picture's scale. A direction
// outside 0..2 has no position: both coordinates are NaN.
apparent_point apparent_position(std::int32_t direction, double x, double y);

#endif
