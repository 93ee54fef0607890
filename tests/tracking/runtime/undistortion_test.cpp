#include <gtest/gtest.h>

#include <cmath>

#include "CalibrationFixture.h"
#include "tracking/runtime/calibration/PointUndistortion.h"
#include "tracking/runtime/calibration/RadialCorrection.h"

using namespace Kestrel::Orb::Tracking;
using Outcome = PointUndistortion::Outcome;

namespace {

GeometrySettings plainCamera(float xi = 0.0f) {
    GeometrySettings g;  // zero distortion, zero correction map
    g.cx = 320.5f;
    g.cy = 240.5f;
    g.f = 400.0f;
    g.k = 0.01f;  // no effect without distortion... except through c, so keep T * k visible below
    g.xi = xi;
    return g;
}

} // namespace

TEST(RadialCorrection, ZeroOffsetsLeaveTheRadiusAlone) {
    RadialCorrection identity(std::array<float, 12>{});
    for (float u : {0.0f, 1e-6f, 0.05f, 0.0769f, 0.5f, 0.9999f, 1.0f, 3.0f})
        EXPECT_NEAR(1.0f, identity.scale(u), 2e-6f) << u;
}

TEST(RadialCorrection, SplineValuesMatchTheFormula) {
    RadialCorrection spline(CalibrationFixture::referenceSettings().c);
    // From the independent script: s(u) = F(u) / u, segment 0 in closed form.
    EXPECT_NEAR(1.104000005, spline.scale(0.0f), 1e-6);
    EXPECT_NEAR(1.065975003, spline.scale(0.03f), 1e-6);
    EXPECT_NEAR(1.022800000, spline.scale(0.2f), 1e-6);
    EXPECT_NEAR(1.004250000, spline.scale(0.5f), 1e-6);
    EXPECT_NEAR(1.0, spline.scale(0.93f), 1e-6);  // c_11 = c_12 = 0: the last segments are exact
    EXPECT_EQ(1.0f, spline.scale(1.0f));
}

TEST(PointUndistortion, PlainCameraIsAPinholeOnTheUnitDisk) {
    GeometrySettings g = plainCamera();
    g.k = 0.0f;
    PointUndistortion camera(g);
    KestrelMath::vector2<float> point;
    ASSERT_EQ(Outcome::Accepted, camera.undistort(420.5f, 140.5f, 35.0f, point));
    EXPECT_FLOAT_EQ(0.25f, point.x());
    EXPECT_FLOAT_EQ(0.25f, point.y());  // image y grows downwards, y' upwards
    auto ray = camera.pixelToRay(320.5f, 240.5f, 35.0f);
    ASSERT_TRUE(ray);
    EXPECT_FLOAT_EQ(1.0f, ray->z());
    ray = camera.pixelToRay(520.5f, 240.5f, 35.0f);  // x' = 0.5: direction (0.5, 0, sqrt(0.75))
    ASSERT_TRUE(ray);
    EXPECT_NEAR(0.5f, ray->x(), 1e-6);
    EXPECT_NEAR(0.8660254f, ray->z(), 1e-6);
}

TEST(PointUndistortion, TemperatureScalesTheRadialFactor) {
    // c = 1 + (a^2 + b^2) T k with k = 0.01, T = 20 and a = 0, b = 0.5: c = 1.05; d = 0.275625,
    // and with p = 0 the point is only scaled: x' = 0.525.
    PointUndistortion camera(plainCamera());
    KestrelMath::vector2<float> point;
    ASSERT_EQ(Outcome::Accepted, camera.undistort(520.5f, 240.5f, 20.0f, point));
    EXPECT_NEAR(0.525f, point.x(), 1e-6);
    EXPECT_NEAR(0.0f, point.y(), 1e-7);
}

TEST(PointUndistortion, RowsOutsideFiveToFourSeventyFiveAreDroppedFirst) {
    PointUndistortion camera(plainCamera());
    KestrelMath::vector2<float> point;
    EXPECT_EQ(Outcome::OutsideRows, camera.undistort(320.0f, 4.9f, 35.0f, point));
    EXPECT_EQ(Outcome::OutsideRows, camera.undistort(320.0f, 475.0f, 35.0f, point));
    EXPECT_EQ(Outcome::Accepted, camera.undistort(320.0f, 5.0f, 35.0f, point));
    EXPECT_EQ(Outcome::Accepted, camera.undistort(320.0f, 474.99f, 35.0f, point));
    // Dropped before any arithmetic: a NaN column on a dropped row is never looked at.
    EXPECT_EQ(Outcome::OutsideRows, camera.undistort(NAN, 475.0f, 35.0f, point));
}

TEST(PointUndistortion, DiskAndViewAngleCuts) {
    PointUndistortion camera(plainCamera(0.75f));
    KestrelMath::vector2<float> point;
    // x' = 1.0 exactly is outside the open unit disk.
    EXPECT_EQ(Outcome::OutsideDisk, camera.undistort(720.5f, 240.5f, 0.0f, point));
    // With xi = 0.75, x' = 0.95 lifts to acos(z) = 2.0463 rad (cut), x' = 0.9 to 1.8607 rad.
    EXPECT_EQ(Outcome::BeyondViewCut, camera.undistort(700.5f, 240.5f, 0.0f, point));
    ASSERT_EQ(Outcome::Accepted, camera.undistort(680.5f, 240.5f, 0.0f, point));
    EXPECT_NEAR(-0.28589271f, unifiedRayDirection(point.x(), point.y(), 0.75f).z(), 1e-6);
}

TEST(PointUndistortion, NonFiniteInputCannotBeLocated) {
    PointUndistortion camera(plainCamera());
    KestrelMath::vector2<float> point;
    try {
        camera.undistort(NAN, 240.0f, 35.0f, point);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("!valueFromSensor", e.what());
    }
}

TEST(PointUndistortion, FullPathMatchesAnIndependentComputation) {
    PointUndistortion camera(CalibrationFixture::referenceSettings());
    struct Case {
        float x, y, t;
        double px, py, z;
    };
    // (pixel x, pixel y, temperature) -> (x', y', z of the ray), from the double-precision script.
    const Case cases[] = {
        {322.25f, 238.75f, 35.0f, 0.0, 0.008414709940552711, 0.9998915761354812},
        {630.0f, 30.0f, 35.0f, 0.7565610792232524, 0.48725356832242195, -0.28554148353994824},
        {560.0f, 60.0f, 35.0f, 0.5911237014692524, 0.42864496313954703, 0.1718176057801305},
        {322.25f, 20.0f, 35.0f, -8.419654750914905e-05, 0.5214512273089419, 0.5813863566331994},
        {100.0f, 50.0f, 35.0f, -0.525928210548064, 0.44758604630510623, 0.26095995474036005},
        {600.5f, 420.25f, 41.0f, 0.6823417654661915, -0.4547531491768823, -0.052960587509397916},
        {330.0f, 240.0f, 20.0f, 0.02040625147664583, 0.005147525170340446, 0.9993217861291819},
        {20.0f, 460.0f, 35.0f, -0.7197696683923558, -0.5453286351974368, -0.29552303335694685},
        {5.0f, 240.0f, 35.0f, -0.7690816717205563, -0.023342387663149663, 0.07761589254394174},
    };
    for (const Case& c : cases) {
        KestrelMath::vector2<float> point;
        ASSERT_EQ(Outcome::Accepted, camera.undistort(c.x, c.y, c.t, point)) << c.x << " " << c.y;
        EXPECT_NEAR(c.px, point.x(), 2e-6) << c.x << " " << c.y;
        EXPECT_NEAR(c.py, point.y(), 2e-6) << c.x << " " << c.y;
        auto ray = camera.pixelToRay(c.x, c.y, c.t);
        ASSERT_TRUE(ray);
        EXPECT_NEAR(c.z, ray->z(), 4e-6) << c.x << " " << c.y;
        EXPECT_NEAR(1.0f, KestrelMath::length(*ray), 1e-6);
    }
    KestrelMath::vector2<float> point;
    EXPECT_EQ(Outcome::BeyondViewCut, camera.undistort(2.0f, 470.0f, 35.0f, point));
}

TEST(UnifiedRayDirection, FrontAndFoldedBackHemisphere) {
    // Script values for xi = 0.5: (0.3, -0.4) and the folded (1.25, 0.5).
    auto front = unifiedRayDirection(0.3f, -0.4f, 0.5f);
    EXPECT_NEAR(0.42037756, front.x(), 1e-6);
    EXPECT_NEAR(-0.56050342, front.y(), 1e-6);
    EXPECT_NEAR(0.71352549, front.z(), 1e-6);
    auto back = unifiedRayDirection(1.25f, 0.5f, 0.5f);
    EXPECT_NEAR(0.40945494, back.x(), 1e-6);
    EXPECT_NEAR(0.16378197, back.y(), 1e-6);
    EXPECT_NEAR(-0.89750884, back.z(), 1e-6);
}
