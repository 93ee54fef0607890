#include <gtest/gtest.h>

#include "LogCapture.h"
#include "tracking/runtime/stream/TrackingCotask.h"
#include "interface_contract/Remap.h"

using namespace Kestrel::InterfaceContract;
namespace DN = Kestrel::DeviceNetwork;

namespace {

// A task-specific viewer interface derived from ICotask, as the tracking pipeline's is.
struct ISpecificCotask : DN::ICotask {
    using Base = DN::ICotask;
    static constexpr InterfaceId iid = makeInterfaceId("F1F24E91-CFBC-4C86-8091-AF689586000F");
    virtual ResultCode KESTREL_CALL answer(int32_t* value) = 0;
};

class SpecificCotask final : public Kestrel::Orb::Tracking::Cotask, public Implements<ISpecificCotask> {
public:
    using Cotask::isFinished;
    ResultCode KESTREL_CALL isFinished(DN::Boolean* finished) override { return Cotask::isFinished(finished); }
    ResultCode KESTREL_CALL answer(int32_t* value) override {
        return guard([&] { *value = 42; });
    }
    static inline int viewerReleases = 0;

protected:
    void onAccelerometer(const KestrelMath::vector3<float>&) override {}
    void onGyroscope(const KestrelMath::vector3<float>&) override {}
    void onFrame() override {}
    void onRay(float, float, int32_t) override {}
    void onViewerReleased() override {
        ++viewerReleases;
        Cotask::onViewerReleased();
    }
};

} // namespace

TEST(DerivedCotaskFace, ATaskSpecificInterfaceSharesFaceZero) {
    auto* task = new SpecificCotask;
    Ref<ISpecificCotask> specific = Ref<ISpecificCotask>::share(task);
    Ref<DN::ICotask> plain = specific.queryChecked<DN::ICotask>();
    DN::Boolean finished = 1;
    ASSERT_EQ(0u, plain->isFinished(&finished));
    EXPECT_EQ(0u, finished);
    ASSERT_EQ(0u, specific->isFinished(&finished));
    EXPECT_EQ(0u, finished);
    int32_t value = 0;
    ASSERT_EQ(0u, specific->answer(&value));
    EXPECT_EQ(42, value);
    auto device = task->deviceToHost();
    specific.reset();
    EXPECT_EQ(0, SpecificCotask::viewerReleases);  // face 0 is still held through ICotask
    plain.reset();
    EXPECT_EQ(1, SpecificCotask::viewerReleases);
    device.reset();
}

namespace {

class ThrowingRelease final : public Kestrel::Orb::Tracking::Cotask {
protected:
    void onAccelerometer(const KestrelMath::vector3<float>&) override {}
    void onGyroscope(const KestrelMath::vector3<float>&) override {}
    void onFrame() override {}
    void onRay(float, float, int32_t) override {}
    void onDeviceReleased() override { throw std::runtime_error("stop failed"); }
};

} // namespace

TEST(DerivedCotaskFace, AFailingReleaseHookIsLoggedAndTheTaskStillFinishes) {
    LogCapture log;
    auto* task = new ThrowingRelease;
    Ref<DN::ICotask> viewer = Ref<DN::ICotask>::share(task);
    task->deviceToHost().reset();  // the device side lets go; nothing may escape Release
    EXPECT_TRUE(task->isFinished());
    EXPECT_EQ(std::vector<std::string>{"Cotask: release by the device side failed: stop failed"}, log.lines());
}
