// The optimiser with a self-refining environment: frames are only collected until the
// environment has a solution, and the markers are read again whenever its revision changes.
#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "tracking/runtime/optimizer/OptimizerContext.h"

using namespace TrackingTest;

namespace {

class FakeMutableEnvironment final : public Implements<IEnvironment>, public Implements<IEnvironmentMutable> {
public:
    explicit FakeMutableEnvironment(std::vector<Vec3f> markers) : markers_(std::move(markers)) {}
    int32_t currentRevision = -1;
    int updates = 0, markerReads = 0;
    std::size_t lastRayCount = 0;
    int32_t lastValue = 0;

    ResultCode KESTREL_CALL isAdaptive(Boolean* adaptive) override { return guard([&] { *adaptive = BooleanTrue; }); }
    ResultCode KESTREL_CALL markerPositions(OutArray* positions) override {
        return guard([&] {
            ++markerReads;
            writeOut(positions, markers_);
        });
    }
    ResultCode KESTREL_CALL acceptRay(const Vec3f*, const Vec3f*, Boolean* accepted) override {
        return guard([&] { *accepted = BooleanTrue; });
    }
    ResultCode KESTREL_CALL matchRays(InArray*, Boolean* found, OutArray*, Pose*) override {
        return guard([&] { *found = BooleanFalse; });
    }
    ResultCode KESTREL_CALL matchNearPosition(InArray* rays, const Vec3f*, OutArray* indices) override {
        return guard([&] { writeOut(indices, std::vector<MarkerIndex>(rays->count, -2)); });
    }
    ResultCode KESTREL_CALL update(InArray* rays, float, const Vec3f* up, Boolean* changed) override {
        return guard([&] {
            ++updates;
            lastRayCount = rays->count;
            if (rays->count)
                lastValue = static_cast<const EnvironmentUpdateRay*>(rays->data)[0].value;
            (void)up;
            *changed = BooleanFalse;
        });
    }
    ResultCode KESTREL_CALL revision(int32_t* revision) override { return guard([&] { *revision = currentRevision; }); }

private:
    std::vector<Vec3f> markers_;
};

} // namespace

TEST(MutableEnvironment, CollectsFramesUntilTheFirstSolutionThenFollowsRevisions) {
    SyntheticScene scene;
    Ref<IEnvironment> environment =
        Ref<IEnvironment>::share(static_cast<Implements<IEnvironment>*>(new FakeMutableEnvironment(scene.markers)));
    auto* fake = static_cast<FakeMutableEnvironment*>(static_cast<Implements<IEnvironment>*>(environment.get()));
    OptimizerContext context(environment, std::make_shared<SharedTrackingState>(), float(scene.xi));
    context.prepare();
    EXPECT_EQ(fake->markerReads, 0);  // an adaptive layout has no markers before its solution

    auto batch = [&](double t) {
        std::vector<FrameRecord> frames{scene.frame(t, false), scene.frame(t + 0.005, false)};
        frames.back().frame.rays[0].value = 300.0f / 256.0f;
        return context.processBatch(frames);
    };
    EXPECT_FALSE(batch(0).ok);
    EXPECT_EQ(fake->updates, 1);  // the newest frame of the batch only
    EXPECT_EQ(fake->lastValue, 300);
    EXPECT_EQ(context.history().count(), 2);
    EXPECT_EQ(fake->markerReads, 0);

    fake->currentRevision = 0;
    batch(0.01);
    EXPECT_EQ(fake->markerReads, 1);
    EXPECT_EQ(context.markers().size(), scene.markers.size());
    batch(0.02);
    EXPECT_EQ(fake->markerReads, 1);  // same revision: not read again
    fake->currentRevision = 1;
    batch(0.03);
    EXPECT_EQ(fake->markerReads, 2);
    EXPECT_EQ(context.history().count(), 8);
}
