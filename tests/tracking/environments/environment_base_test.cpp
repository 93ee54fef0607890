// The base of every kind: matching near a position, the ray filter, and the IEnvironment
// methods as a caller on the other side of the ABI sees them.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "interface_contract/Marshal.h"
#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/OrbEnvironmentSingle.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::check;
using Kestrel::InterfaceContract::E_INVALIDARG_CODE;
using Kestrel::InterfaceContract::inArray;
using Kestrel::InterfaceContract::makeInterfaced;
using Kestrel::InterfaceContract::outArray;
using Kestrel::InterfaceContract::Ref;

namespace {

// A kind with markers laid out by the test, on a plane at a chosen height.
class TestEnvironment final : public OrbEnvironment {
public:
    TestEnvironment(std::vector<Vec3f> markers, float planeHeight, bool ceiling = false)
        : OrbEnvironment(1.0f, 0.3f), markers_(std::move(markers)) {
        markerGrid.planeHeight = planeHeight;
        markerGrid.ceiling = ceiling;
        std::vector<Vec2f> flat;
        for (const Vec3f& m : markers_)
            flat.push_back(Vec2f{{m.x(), m.z()}});
        markerGrid.rebuild(flat, 1.0f);
    }
    bool matchRays(const std::vector<Vec3f>&, std::vector<MarkerIndex>&, Pose&) override { return false; }
    std::vector<Vec3f> markerPositions() const override { return markers_; }

private:
    std::vector<Vec3f> markers_;
};

Vec3f v(float x, float y, float z) { return Vec3f{{x, y, z}}; }

// Direction from `from` to `to`, normalised.
Vec3f towards(const Vec3f& from, const Vec3f& to) {
    const Vec3f d = to - from;
    return d / std::sqrt(KestrelMath::dot(d, d));
}

} // namespace

TEST(OrbEnvironment, BarMarkerPositionsAlongTheBar) {
    TestEnvironment environment({}, 0);
    EXPECT_FLOAT_EQ(environment.barMarkerX[0], -0.5f);
    EXPECT_FLOAT_EQ(environment.barMarkerX[1], -0.2f);
    EXPECT_FLOAT_EQ(environment.barMarkerX[2], 0.5f);
    OrbEnvironmentSingle longer(2.0f, 0.25f);
    EXPECT_FLOAT_EQ(longer.barMarkerX[0], -1.0f);
    EXPECT_FLOAT_EQ(longer.barMarkerX[1], -0.5f);
    EXPECT_FLOAT_EQ(longer.barMarkerX[2], 1.0f);
}

TEST(OrbEnvironment, MatchNearPositionFindsTheMarkerUnderEachRay) {
    // Markers 1 m apart on a plane at y = 0.5: minSpacing 1, query radius 0.8.
    TestEnvironment environment({v(0, 0.5f, 0), v(1, 0.5f, 0), v(0, 0.5f, 1), v(5, 0.5f, 5)}, 0.5f);
    const Vec3f camera = v(0.3f, 2.5f, 0.2f);
    const std::vector<MarkerIndex> indices = environment.matchNearPosition(
        {towards(camera, v(1.1f, 0.5f, 0.1f)), towards(camera, v(0, 0.5f, 0.9f)), towards(camera, v(5.5f, 0.5f, 5.5f)),
         towards(camera, v(3, 0.5f, 3))},
        camera);
    // 0.71 m from marker 3 is within 0.8; (3, 3) is 2.8 m from every marker.
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{1, 2, 3, -2}));
}

TEST(OrbEnvironment, RaysOnTheSameMarkerAreAllDropped) {
    TestEnvironment environment({v(0, 0, 0), v(1, 0, 0), v(0, 0, 1)}, 0);
    const Vec3f camera = v(0, 2, 0);
    const std::vector<MarkerIndex> indices = environment.matchNearPosition(
        {towards(camera, v(0.1f, 0, 0)), towards(camera, v(1, 0, 0)), towards(camera, v(-0.1f, 0, 0.05f)),
         towards(camera, v(0, 0, 1)), towards(camera, v(0.05f, 0, -0.1f))},
        camera);
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{-1, 1, -1, 2, -1}));
}

TEST(OrbEnvironment, ARayBetweenTwoCloseMarkersIsAmbiguous) {
    // Markers 0.5 m apart, radius 0.4: the midpoint is 0.25 from both.
    TestEnvironment environment({v(0, 0, 0), v(0.5f, 0, 0), v(3, 0, 0)}, 0);
    const Vec3f camera = v(0.25f, 1, 0);
    EXPECT_EQ(environment.matchNearPosition({towards(camera, v(0.25f, 0, 0))}, camera), (std::vector<MarkerIndex>{-2}));
}

TEST(OrbEnvironment, ARayParallelToThePlaneIsAmbiguous) {
    TestEnvironment environment({v(0, 0, 0), v(1, 0, 0)}, 0);
    EXPECT_EQ(environment.matchNearPosition({v(1, 0, 0)}, v(0, 1, 0)), (std::vector<MarkerIndex>{-2}));
    // A camera in the plane itself: t = 0 for every ray, the hit is the camera's own spot.
    EXPECT_EQ(environment.matchNearPosition({v(0, -1, 0)}, v(1, 0, 0)), (std::vector<MarkerIndex>{1}));
}

TEST(OrbEnvironment, AcceptsRaysAgainstUp) {
    TestEnvironment environment({}, 0);
    const Vec3f up = v(0, 1, 0);
    EXPECT_TRUE(environment.acceptRay(up, v(0.3f, -0.9f, 0)));
    EXPECT_FALSE(environment.acceptRay(up, v(0.3f, 0.9f, 0)));
    EXPECT_FALSE(environment.acceptRay(up, v(1, 0, 0)));  // dot = 0 is not below 0
    EXPECT_FALSE(environment.hasBounds());
    EXPECT_EQ(environment.boundsCornerCount(), 0);
    EXPECT_EQ(environment.boundsCorner(2), (Vec2f{{0, 0}}));
    EXPECT_EQ(environment.revision(), 0);
}

TEST(IEnvironment, AnswersItsInterfacesAndForwardsToTheKind) {
    Ref<IEnvironment> environment = makeInterfaced<OrbEnvironmentSingle, IEnvironment>(1.0f, 0.3f);
    EXPECT_TRUE(environment.query<Kestrel::InterfaceContract::IInterface>());
    EXPECT_FALSE(environment.query<IEnvironmentMutable>());
    EXPECT_NE(nativeEnvironment(environment.get()), nullptr);
    EXPECT_NE(dynamic_cast<OrbEnvironmentSingle*>(nativeEnvironment(environment.get())), nullptr);

    Kestrel::InterfaceContract::Boolean flag = 123;
    check(environment.get(), environment->isAdaptive(&flag));
    EXPECT_EQ(flag, Kestrel::InterfaceContract::BooleanFalse);
    const Vec3f up = v(0, 1, 0), down = v(0, -1, 0);
    check(environment.get(), environment->acceptRay(&up, &down, &flag));
    EXPECT_EQ(flag, Kestrel::InterfaceContract::BooleanTrue);

    auto ray = [](float x, float z) { return towards(v(0, 0, 0), v(x, -1, z)); };
    const std::vector<Vec3f> rays{ray(1, 0), ray(0.3f, 0), ray(0, 0), ray(-0.6f, 1.4f)};
    InArray in = inArray(rays);
    std::vector<MarkerIndex> indices;
    OutArray out = outArray(indices);
    Pose pose{};
    check(environment.get(), environment->matchRays(&in, &flag, &out, &pose));
    EXPECT_EQ(flag, Kestrel::InterfaceContract::BooleanTrue);
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{2, 1, 0, -1}));
    EXPECT_NEAR(pose.rotation.norm(), 1.0f, 1e-6);

    const Vec3f origin = v(0, 1, 0);
    const std::vector<Vec3f> downwards{towards(origin, v(-0.5f, 0, 0)), towards(origin, v(0.5f, 0, 0.05f))};
    in = inArray(downwards);
    check(environment.get(), environment->matchNearPosition(&in, &origin, &out));
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{0, 2}));
}

TEST(IEnvironment, TooFewRaysTouchNoOutput) {
    Ref<IEnvironment> environment = makeInterfaced<OrbEnvironmentSingle, IEnvironment>(1.0f, 0.3f);
    const std::vector<Vec3f> rays{v(0, -1, 0)};
    InArray in = inArray(rays);
    std::vector<MarkerIndex> indices{5, 6};
    OutArray out = outArray(indices);
    Pose pose{v(1, 2, 3), Quatf{0, 0, 0, 1}};
    Kestrel::InterfaceContract::Boolean found = 7;
    check(environment.get(), environment->matchRays(&in, &found, &out, &pose));
    EXPECT_EQ(found, Kestrel::InterfaceContract::BooleanFalse);
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{5, 6}));
    EXPECT_EQ(pose.position, v(1, 2, 3));
    // No rays at all, as a null array.
    check(environment.get(), environment->matchRays(nullptr, &found, &out, &pose));
    EXPECT_EQ(found, Kestrel::InterfaceContract::BooleanFalse);
}

TEST(IEnvironment, NullOutputsAreInvalidArguments) {
    Ref<IEnvironment> environment = makeInterfaced<OrbEnvironmentSingle, IEnvironment>(1.0f, 0.3f);
    EXPECT_EQ(environment->isAdaptive(nullptr), E_INVALIDARG_CODE);
    EXPECT_EQ(environment->markerPositions(nullptr), E_INVALIDARG_CODE);
    const Vec3f up = v(0, 1, 0);
    Kestrel::InterfaceContract::Boolean flag;
    EXPECT_EQ(environment->acceptRay(&up, nullptr, &flag), E_INVALIDARG_CODE);
    Pose pose{};
    std::vector<MarkerIndex> indices;
    OutArray out = outArray(indices);
    EXPECT_EQ(environment->matchRays(nullptr, nullptr, &out, &pose), E_INVALIDARG_CODE);
    EXPECT_EQ(environment->matchRays(nullptr, &flag, nullptr, &pose), E_INVALIDARG_CODE);
    EXPECT_EQ(environment->matchRays(nullptr, &flag, &out, nullptr), E_INVALIDARG_CODE);
    EXPECT_EQ(environment->matchNearPosition(nullptr, nullptr, &out), E_INVALIDARG_CODE);
    try {
        check(environment.get(), environment->matchNearPosition(nullptr, &up, nullptr));
        ADD_FAILURE();
    } catch (const Kestrel::InterfaceContract::Exception& e) {
        EXPECT_EQ(e.code(), E_INVALIDARG_CODE);
        EXPECT_FALSE(e.message().empty());
    }
}

TEST(IEnvironment, MarksTheRunsThatServedTheBarDetectionHook) {
    auto* single = new OrbEnvironmentSingle(1.0f, 0.3f);
    Ref<IEnvironment> environment = Ref<IEnvironment>::share(single);
    const std::vector<Vec3f> rays{v(0, -1, 0), v(0.3f, -1, 0), v(1, -1, 0)};
    InArray in = inArray(rays);
    std::vector<MarkerIndex> indices;
    OutArray out = outArray(indices);
    Pose pose{};
    Kestrel::InterfaceContract::Boolean found;
    check(environment.get(), environment->matchRays(&in, &found, &out, &pose));
    EXPECT_EQ(single->barDetectionServed.load(), 0);
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::vector<MarkerIndex> own;
        OutArray ownOut = outArray(own);
        Pose ownPose{};
        Kestrel::InterfaceContract::Boolean ownFound;
        while (!stop && single->barDetectionServed.load() == 0)
            environment->matchRays(&in, &ownFound, &ownOut, &ownPose);
    });
    EXPECT_TRUE(single->barDetectionHook.request([](auto&&...) {}));
    stop = true;
    producer.join();
    EXPECT_EQ(single->barDetectionServed.load(), 1);
    check(environment.get(), environment->matchRays(&in, &found, &out, &pose));
    EXPECT_EQ(single->barDetectionServed.load(), 0);
}
