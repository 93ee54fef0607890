// The error measures of orbtool track.
#include <gtest/gtest.h>

#include "tools/orbtool/TrackStatistics.h"

using OrbTool::rotationErrorDegrees;

TEST(TrackStatistics, RotationErrorKeepsSmallAnglesOfFloatQuaternions) {
    // Truth: 30 degrees about (1, 2, 3). Estimate: the truth turned by 0.0002 degrees about x,
    // scaled by 1 + 3e-7 and rounded to float, as the tracker's state holds it. Its angle to
    // the truth, 0.00020017059... degrees, was computed in 40-digit arithmetic.
    const double truth[4] = {0.069172299424687472, 0.13834459884937494, 0.20751689827406242, 0.96592582628906831};
    const double estimate[4] = {double(0.0691740066f), double(0.138345003f), double(0.207516715f),
                                double(0.965925992f)};
    EXPECT_NEAR(0.00020017059433664, rotationErrorDegrees(estimate, truth), 1e-12);
    const double opposite[4] = {-estimate[0], -estimate[1], -estimate[2], -estimate[3]};
    EXPECT_NEAR(0.00020017059433664, rotationErrorDegrees(opposite, truth), 1e-12);
    // Large angles: a quarter and a half turn about y against the identity.
    const double identity[4] = {0, 0, 0, 1};
    const double quarter[4] = {0, 0.70710678118654752, 0, 0.70710678118654752};
    const double half[4] = {0, 2, 0, 0};
    EXPECT_NEAR(90.0, rotationErrorDegrees(quarter, identity), 1e-12);
    EXPECT_NEAR(180.0, rotationErrorDegrees(half, identity), 1e-12);
}
