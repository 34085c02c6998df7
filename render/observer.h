// The observer and the physics of the view.
//
// Coordinates are source pixels: the picture lies in the plane z = 0, x to the
// right along a row, y down the rows; the observer is on the side of negative
// z. All arithmetic is IEEE double in the written order (the build turns off
// FMA contraction), so the same sample gives the same bits in both render
// passes and on every platform. Every function here is pure: what it reads
// it is given.
#ifndef LUMIRUN_RENDER_OBSERVER_H
#define LUMIRUN_RENDER_OBSERVER_H

#include <cstdint>

// 32 bits wide like the settings they come from, so that a value outside
// the three can still be passed (and is refused).
enum class fly_by_direction : std::int32_t { left_to_right = 0, top_to_bottom = 1, straight_at_it = 2 };

bool is_fly_by_direction(fly_by_direction direction);

struct observer_position {
    double observer_x = 0.0;
    double observer_y = 0.0;
    double observer_z = 0.0;
};

// The observer's depth for a direction: -0.01 beside the picture (0 and 1),
// -5.0 in front of it (2). false, and *depth unchanged, for another value.
bool observer_depth(fly_by_direction direction, double* depth);

// Worked out once per render from the speed.
struct motion_parameters {
    double beta = 0.0;
    double gamma = 0.0;
    double beta_squared = 0.0;
    double gamma_squared = 0.0;
    double beta_gamma_squared = 0.0;
};

constexpr double speed_of_light = 3e8;  // metres per second

motion_parameters motion_for_speed(double speed);

// Which of the motion's effects a view shows: all (the picture as it is
// seen), contraction alone (as a measurement at one instant of the
// observer's time finds it), light_time alone (the picture at its rest
// length, each point where it was when its light left), or none (the
// picture at rest). The solvers below are those of all; apparent_position
// draws every one through them (solved_view).
enum class relativity_effects : std::int32_t { all = 0, contraction = 1, light_time = 2, none = 3 };

bool is_relativity_effects(relativity_effects effects);

// Whether a view shows the Lorentz contraction (all, contraction) and the
// light's travel time (all, light_time). Inline: the smooth renderer asks
// for every pixel.
inline bool shows_contraction(relativity_effects effects)
{
    return effects == relativity_effects::all || effects == relativity_effects::contraction;
}

inline bool shows_light_time(relativity_effects effects)
{
    return effects == relativity_effects::all || effects == relativity_effects::light_time;
}

// Everything the solvers read: fixed for the whole of one render.
struct view_parameters {
    observer_position observer;
    motion_parameters motion;
    relativity_effects effects = relativity_effects::all;
};

// The solvers of all the effects draw the others too. Along the motion
// (from left to right x, from top to bottom y) the point of rest coordinate
// a is, at the observer's time t, at a / g + beta t (g = gamma with the
// contraction, 1 without) and is seen where it was when its light left, t =
// -R, or without the light's delay where it is at t = 0. The solvers of all
// solve X = a / gamma - beta R(X); light_time's X = a - beta R(X) is that
// for a' = gamma a. At rest (beta 0, gamma 1) they give X = a' exactly (the
// discriminant is 0), so contraction's X = a / gamma takes a' = a / gamma,
// and none a' = a. Straight at it the motion is along the line of sight
// and the flat picture has no length along it to contract: light_time is
// all, and contraction, without the light's delay, shows the picture where
// it is at that instant, at its distance, as at rest: so does none.
//
// The view whose solvers draw what `view` shows: its motion, or at rest
// without the light's delay; effects all.
view_parameters solved_view(const view_parameters& view);
// The coordinate along the motion those solvers take for rest coordinate a.
double solved_along(const view_parameters& view, double a);

// The solvers of directions 0, 1 and 2: a root of the quadratic that the
// light-travel time gives. A discriminant that rounding made negative is
// taken as 0.0, so the result is always a real number.
double apparent_x(const view_parameters& view, double x, double y, double z);
double apparent_y(const view_parameters& view, double x, double y, double z);
double apparent_depth(const view_parameters& view, double x, double y, double z);

struct apparent_point {
    double x;
    double y;
};

// Where the sample (x, y, 0) is seen with the view's effects, before the
// renderer shifts it by its bounds. Direction 2 draws at 20 times the
// picture's scale. A direction outside the three has no position: both
// coordinates are NaN.
apparent_point apparent_position(const view_parameters& view, fly_by_direction direction, double x, double y);

#endif
