#include <gtest/gtest.h>

#include <cmath>

#include "render/observer.h"
#include "tests/test_support.h"

namespace {

view_parameters view_at(double ox, double oy, double oz, double speed)
{
    return view_parameters{observer_position{ox, oy, oz}, motion_for_speed(speed)};
}

}  // namespace

TEST(Observer, MotionParametersAtHalfTheSpeedOfLight)
{
    const motion_parameters motion = motion_for_speed(0.5 * 3e8);
    EXPECT_EQ(motion.beta, 0.5);
    EXPECT_EQ(motion.gamma, 1.1547005383792517);
    EXPECT_EQ(motion.beta_squared, 0.25);
    EXPECT_EQ(motion.beta_gamma_squared, 0.3333333333333334);
}

TEST(Observer, GammaAtTheFastestSinglePrecisionSpeed)
{
    EXPECT_EQ(motion_for_speed(static_cast<double>(0.99999994f) * 3e8).gamma, 2896.309418898473);
}

TEST(Observer, ResetAndSetKeepDepth)
{
    observer.observer_z = -5.0;
    reset_observer();
    EXPECT_EQ(observer.observer_x, 0.0);
    EXPECT_EQ(observer.observer_y, 100.0);
    EXPECT_EQ(observer.observer_z, -5.0);
    set_observer(640, 240);
    EXPECT_EQ(observer.observer_x, 640.0);
    EXPECT_EQ(observer.observer_y, 240.0);
    EXPECT_EQ(observer.observer_z, -5.0);
}

TEST(Observer, SpeedZeroIsTheIdentity)
{
    const view_parameters view = view_at(13.0, 7.0, -0.01, 0.0);
    EXPECT_EQ(view.motion.gamma, 1.0);
    EXPECT_EQ(view.motion.beta_gamma_squared, 0.0);
    for (double x : {0.0, 1.0, 3.5, 639.0}) {
        for (double y : {0.0, 2.25, 479.0}) {
            EXPECT_EQ(apparent_x(view, x, y, 0.0), x);
            EXPECT_EQ(apparent_y(view, x, y, 0.0), y);
        }
    }
    const view_parameters ahead = view_at(13.0, 7.0, -5.0, 0.0);
    EXPECT_EQ(apparent_depth(ahead, 4.0, 9.0, 0.0), 0.0);
    const apparent_point p = apparent_position(ahead, fly_by_direction::straight_at_it, 4.0, 9.0);
    EXPECT_EQ(p.x, 80.0);
    EXPECT_EQ(p.y, 180.0);
}

TEST(Observer, LeftToRightAtHalfSpeed)
{
    const view_parameters view = view_at(0.0, 240.0, -0.01, 0.5 * 3e8);
    // On the observer's row a point is seen at gamma * (x - 0.5 * sqrt(x^2 + 0.0001)).
    const double x = 400.0;
    EXPECT_NEAR(apparent_x(view, x, 240.0, 0.0), view.motion.gamma * (x - 0.5 * std::sqrt(x * x + 0.0001)), 1e-9);
    EXPECT_NEAR(apparent_x(view, x, 240.0, 0.0) / x, 0.577, 0.001);
    // The extremes of a 640 x 480 picture.
    EXPECT_EQ(apparent_x(view, 0.0, 0.0, 0.0), -138.5640647257915);
    EXPECT_EQ(apparent_x(view, 639.0, 240.0, 0.0), 368.9268219669946);
    // The left edge is seen left of 0, the farther the farther its row is from oy.
    EXPECT_LT(apparent_x(view, 0.0, 100.0, 0.0), apparent_x(view, 0.0, 200.0, 0.0));
    EXPECT_LT(apparent_x(view, 0.0, 240.0, 0.0), 0.0);
    EXPECT_GT(apparent_x(view, 0.0, 240.0, 0.0), -0.01);
}

TEST(Observer, TopToBottomMirrorsLeftToRight)
{
    const view_parameters view = view_at(0.0, 240.0, -0.01, 0.5 * 3e8);
    const apparent_point p = apparent_position(view, fly_by_direction::top_to_bottom, 17.0, 33.0);
    EXPECT_EQ(p.x, 17.0);
    EXPECT_EQ(p.y, apparent_y(view, 17.0, 33.0, 0.0));
    // The extremes behind a 640 x 480 picture's height in direction 1.
    EXPECT_EQ(apparent_y(view, 639.0, 0.0, 0.0), -322.1280890877102);
    EXPECT_EQ(apparent_y(view, 0.0, 479.0, 0.0), 196.55077890365266);
    // Exchanging x and y, and ox and oy, gives the same numbers bit for bit.
    const double along_x = apparent_x(view, 37.0, 5.0, 0.0);
    EXPECT_EQ(apparent_y(view_at(240.0, 0.0, -0.01, 0.5 * 3e8), 5.0, 37.0, 0.0), along_x);
}

TEST(Observer, StraightAtItKeepsThePointAhead)
{
    const view_parameters view = view_at(320.0, 240.0, -5.0, 0.5 * 3e8);
    // D * beta * gamma^2 * (1 + beta) is 5 exactly; IEEE evaluation in the
    // solver's order rounds to the next double above.
    EXPECT_EQ(apparent_depth(view, 320.0, 240.0, 0.0), 5.000000000000001);
    const apparent_point p = apparent_position(view, fly_by_direction::straight_at_it, 320.0, 240.0);
    EXPECT_EQ(p.x, 6400.0);
    EXPECT_EQ(p.y, 4800.0);
}

TEST(Observer, NegativeDiscriminantIsTakenAsZero)
{
    view_parameters view = view_at(0.0, 0.0, -0.01, 0.0);
    view.motion.gamma = 1.0;
    view.motion.beta_gamma_squared = -1e-20;  // rounding-made negative d at x = 0
    EXPECT_EQ(apparent_x(view, 0.0, 3.0, 0.0), 0.0);
    EXPECT_EQ(apparent_y(view, 3.0, 0.0, 0.0), 0.0);
}

TEST(Observer, UnknownDirectionHasNoPositionAndNoDepth)
{
    const auto unknown = static_cast<fly_by_direction>(3);
    const apparent_point p = apparent_position(view_at(0.0, 0.0, -0.01, 0.0), unknown, 1.0, 1.0);
    EXPECT_TRUE(std::isnan(p.x));
    EXPECT_TRUE(std::isnan(p.y));
    double depth = 7.0;
    EXPECT_FALSE(observer_depth(unknown, &depth));
    EXPECT_EQ(depth, 7.0);
    EXPECT_TRUE(observer_depth(fly_by_direction::top_to_bottom, &depth));
    EXPECT_EQ(depth, -0.01);
    EXPECT_TRUE(observer_depth(fly_by_direction::straight_at_it, &depth));
    EXPECT_EQ(depth, -5.0);
}
