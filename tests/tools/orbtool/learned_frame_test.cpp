// Ground truth of the room expressed in the frame a self-refining environment learns.

#include <gtest/gtest.h>

#include <cmath>

#include "tools/orbtool/LearnedFrame.h"

TEST(LearnedFrame, SideZeroBecomesTheOrigin) {
    // Side 0 at (1, 2) running along +z (heading pi/2). A tracker 1 m further along +z, 5 m up,
    // unturned, is 1 m along +x of the learned frame, and turned by a quarter about +y there:
    // (0, sin(pi/4), 0, cos(pi/4)).
    const double h = std::sqrt(0.5);
    double truth[7] = {1, 5, 3, 0, 0, 0, 1};
    OrbTool::toLearnedFrame({1, 2, 3.14159265358979323846 / 2}, truth);
    const double expected[7] = {1, 5, 0, 0, h, 0, h};
    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR(truth[i], expected[i], 1e-12) << i;

    // The bar's own direction maps onto +x: a tracker turned by -pi/2 about y in the room (its
    // x axis along the bar, (cos h0, 0, sin h0) = (0, 0, 1)) is unturned in the learned frame.
    double along[7] = {1, 1, 2, 0, -h, 0, h};
    OrbTool::toLearnedFrame({1, 2, 3.14159265358979323846 / 2}, along);
    EXPECT_NEAR(along[0], 0, 1e-12);
    EXPECT_NEAR(along[2], 0, 1e-12);
    EXPECT_NEAR(std::abs(along[6]), 1, 1e-12);
}
