// The simulated camera against the host's own calibration path: the host, reading the
// tracker's records, must recover the direction the simulator meant.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/WirePoint.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/calibration/PointUndistortion.h"

using namespace Kestrel::DeviceSimulator;
namespace Host = Kestrel::Orb::Tracking;

namespace {

Vec3 direction(double azimuth, double offAxis) {
    return Vec3{{std::sin(offAxis) * std::cos(azimuth), std::sin(offAxis) * std::sin(azimuth), std::cos(offAxis)}};
}

double angleBetween(const Vec3& a, const KestrelMath::vector3<float>& b) {
    Vec3 bd{{b[0], b[1], b[2]}};
    double c = KestrelMath::dot(a, bd) / (KestrelMath::length(a) * KestrelMath::length(bd));
    return std::acos(std::clamp(c, -1.0, 1.0));
}

} // namespace

TEST(SimulatedCamera, RecordsAreWhatTheHostReads) {
    auto camera = simulatedCamera();
    Host::GeometrySettings settings = Host::parseGeometrySettings(camera->geometrySettingsRecord());
    EXPECT_FLOAT_EQ(settings.f, 562.0f);
    EXPECT_FLOAT_EQ(settings.cx, 321.7f);
    EXPECT_FLOAT_EQ(settings.cy, 238.9f);
    EXPECT_FLOAT_EQ(settings.xi, 0.75f);
    for (float p : settings.p)
        EXPECT_NE(p, 0.0f);
    for (float c : settings.c)
        EXPECT_NE(c, 0.0f);
    EXPECT_NE(settings.correction[0][20].value, 0.0f);
    EXPECT_EQ(camera->maximumViewAngleRecord().size(), 4u);
    EXPECT_FLOAT_EQ(Host::parseMaximumViewAngle(camera->maximumViewAngleRecord()), 1.30f);
}

TEST(SimulatedCamera, HostRecoversTheTrueRay) {
    auto camera = simulatedCamera();
    Host::PointUndistortion host(Host::parseGeometrySettings(camera->geometrySettingsRecord()));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> azimuth(-M_PI, M_PI), offAxis(0.0, 1.30);
    int seen = 0;
    double worst = 0, worstWire = 0;
    for (int i = 0; i < 3000; ++i) {
        Vec3 d = direction(azimuth(random), offAxis(random));
        float temperature = 30.0f + float(i % 11);
        auto pixel = camera->project(d, temperature);
        if (!pixel)
            continue;  // off the sensor's rows or columns
        ++seen;
        auto ray = host.pixelToRay(float(pixel->x), float(pixel->y), temperature);
        ASSERT_TRUE(ray) << pixel->x << " " << pixel->y;
        worst = std::max(worst, angleBetween(d, *ray));
        // As the host receives it: through the 16-bit wire coordinates.
        auto wired = host.pixelToRay(float(pixelX(wireX(pixel->x))), float(pixelY(wireY(pixel->y))), temperature);
        ASSERT_TRUE(wired);
        worstWire = std::max(worstWire, angleBetween(d, *wired));
    }
    EXPECT_GT(seen, 1500);
    EXPECT_LT(worst, 5e-6);
    EXPECT_LT(worstWire, 1e-4);
}

TEST(SimulatedCamera, FieldOfViewAndWhatIsNotSeen) {
    auto camera = simulatedCamera();
    // 60 degrees to either side lands near the left and right edges (about 120 degrees across).
    auto right = camera->project(direction(0.0, M_PI / 3 * 0.97), 35.0f);
    auto left = camera->project(direction(M_PI, M_PI / 3 * 0.97), 35.0f);
    ASSERT_TRUE(right && left);
    EXPECT_GT(right->x, 600.0);
    EXPECT_LT(left->x, 40.0);
    // +y of the camera is up in the image (smaller pixel rows).
    auto up = camera->project(direction(M_PI / 2, 0.3), 35.0f);
    ASSERT_TRUE(up);
    EXPECT_LT(up->y, 238.9);
    EXPECT_FALSE(camera->project(direction(0.0, M_PI / 2 * 1.2), 35.0f));   // beside the sensor
    EXPECT_FALSE(camera->project(Vec3{{0.0, 0.0, -1.0}}, 35.0f));            // behind the camera
    EXPECT_FALSE(camera->project(direction(M_PI / 2, 1.1), 35.0f));           // above the top row
    EXPECT_DOUBLE_EQ(camera->maximumViewAngle(), 1.30);
}
