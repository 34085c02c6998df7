#include <gtest/gtest.h>

#include <cmath>

#include "render/observer.h"
#include "tests/test_support.h"

TEST(Observer, MotionParametersAtHalfTheSpeedOfLight)
{
    set_motion(0.5 * 3e8);
    EXPECT_EQ(motion.beta, 0.5);
    EXPECT_EQ(motion.gamma, 1.1547005383792517);
    EXPECT_EQ(motion.beta_squared, 0.25);
    EXPECT_EQ(motion.beta_gamma_squared, 0.3333333333333334);
}

TEST(Observer, GammaAtTheFastestSinglePrecisionSpeed)
{
    set_motion(static_cast<double>(0.99999994f) * 3e8);
    EXPECT_EQ(motion.gamma, 2896.309418898473);
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
    set_observer(13, 7);
    set_motion(0.0);
    EXPECT_EQ(motion.gamma, 1.0);
    EXPECT_EQ(motion.beta_gamma_squared, 0.0);
    observer.observer_z = -0.01;
    for (double x : {0.0, 1.0, 3.5, 639.0}) {
        for (double y : {0.0, 2.25, 479.0}) {
            EXPECT_EQ(apparent_x(x, y, 0.0), x);
            EXPECT_EQ(apparent_y(x, y, 0.0), y);
        }
    }
    observer.observer_z = -5.0;
    EXPECT_EQ(apparent_depth(4.0, 9.0, 0.0), 0.0);
    const apparent_point p = apparent_position(2, 4.0, 9.0);
    EXPECT_EQ(p.x, 80.0);
    EXPECT_EQ(p.y, 180.0);
}

TEST(Observer, LeftToRightAtHalfSpeed)
{
    set_observer(0, 240);
    observer.observer_z = -0.01;
    set_motion(0.5 * 3e8);
    // On the observer's row a point is seen at gamma * (x - 0.5 * sqrt(x^2 + 0.0001)).
    const double x = 400.0;
    EXPECT_NEAR(apparent_x(x, 240.0, 0.0), motion.gamma * (x - 0.5 * std::sqrt(x * x + 0.0001)), 1e-9);
    EXPECT_NEAR(apparent_x(x, 240.0, 0.0) / x, 0.577, 0.001);
    // The extremes of a 640 x 480 picture.
    EXPECT_EQ(apparent_x(0.0, 0.0, 0.0), -138.5640647257915);
    EXPECT_EQ(apparent_x(639.0, 240.0, 0.0), 368.9268219669946);
    // The left edge is seen left of 0, the farther the farther its row is from oy.
    EXPECT_LT(apparent_x(0.0, 100.0, 0.0), apparent_x(0.0, 200.0, 0.0));
    EXPECT_LT(apparent_x(0.0, 240.0, 0.0), 0.0);
    EXPECT_GT(apparent_x(0.0, 240.0, 0.0), -0.01);
}

TEST(Observer, TopToBottomMirrorsLeftToRight)
{
    set_observer(0, 240);
    observer.observer_z = -0.01;
    set_motion(0.5 * 3e8);
    const apparent_point p = apparent_position(1, 17.0, 33.0);
    EXPECT_EQ(p.x, 17.0);
    EXPECT_EQ(p.y, apparent_y(17.0, 33.0, 0.0));
    // Exchanging x and y, and ox and oy, gives the same numbers bit for bit.
    const double along_x = apparent_x(37.0, 5.0, 0.0);
    set_observer(240, 0);
    EXPECT_EQ(apparent_y(5.0, 37.0, 0.0), along_x);
}

TEST(Observer, StraightAtItKeepsThePointAhead)
{
    set_observer(320, 240);
    observer.observer_z = -5.0;
    set_motion(0.5 * 3e8);
    // D * beta * gamma^2 * (1 + beta) is 5 exactly; IEEE evaluation in the
    // solver's order rounds to the next double above.
    EXPECT_EQ(apparent_depth(320.0, 240.0, 0.0), 5.000000000000001);
    const apparent_point p = apparent_position(2, 320.0, 240.0);
    EXPECT_EQ(p.x, 6400.0);
    EXPECT_EQ(p.y, 4800.0);
}

TEST(Observer, NegativeDiscriminantIsTakenAsZero)
{
    set_observer(0, 0);
    observer.observer_z = -0.01;
    motion = motion_parameters{};
    motion.gamma = 1.0;
    motion.beta_gamma_squared = -1e-20;  // rounding-made negative d at x = 0
    EXPECT_EQ(apparent_x(0.0, 3.0, 0.0), 0.0);
    EXPECT_EQ(apparent_y(3.0, 0.0, 0.0), 0.0);
}

TEST(Observer, UnknownDirectionHasNoPosition)
{
    const apparent_point p = apparent_position(3, 1.0, 1.0);
    EXPECT_TRUE(std::isnan(p.x));
    EXPECT_TRUE(std::isnan(p.y));
}
