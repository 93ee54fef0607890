#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "FakeNetwork.h"
#include "ImageStreamBuilder.h"
#include "LogCapture.h"
#include "interface_contract/ModuleRegistry.h"
#include "tracking/runtime/device_tasks/DebugHostDeviceInterop.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb;
using FakeNetworkTest::FakeNetwork;
using FakeNetworkTest::SentPacket;
namespace DebugTask = Kestrel::DeviceNetwork::Tasks::Orb::Debug;

namespace {

template <class T>
std::vector<uint8_t> bytesOf(const T& value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string recordBytes(uint32_t type, uint32_t address, int32_t value) {
    ConfigRecord r{type, address, value};
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

// The message of a failed call made through `check`.
template <class F>
std::string failure(F&& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(succeeded)";
}

struct DebugTaskFixture : testing::Test {
    FakeNetwork* network = new FakeNetwork;
    Ref<Kestrel::DeviceNetwork::INodeNetwork> networkRef = Ref<Kestrel::DeviceNetwork::INodeNetwork>::share(network);
    Ref<Debug::ICotask> task;

    void start(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        task = Debug::startDebugTask(*network, 7, timeout);
        ASSERT_TRUE(task);
    }
    ResultCode deliver(uint8_t id, const std::vector<uint8_t>& payload = {}) { return network->deliver(id, payload); }
    std::vector<SentPacket> sent() { return network->device->packets(); }

    // Answers the n-th request (counting from 1) with `answer` once it has been sent.
    std::thread answerRequest(size_t n, std::function<void()> answer) {
        return std::thread([this, n, answer] {
            for (int i = 0; i < 4000 && sent().size() < n; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            answer();
        });
    }
    // The stream in chunks of 63 bytes (packet 8) and a final packet 9 with the rest. With
    // `emptyFinalChunk` a partial last chunk is padded to 63 bytes with 0x01 (no zero follows,
    // so the decoder never reads it as a segment) and packet 9 carries no bytes.
    void deliverStream(const std::string& stream, bool emptyFinalChunk) {
        size_t offset = 0;
        auto remaining = [&] { return stream.size() - offset; };
        while (remaining() > 63 || (emptyFinalChunk && remaining() > 0)) {
            std::string chunk = stream.substr(offset, 63);
            chunk.resize(63, '\x01');
            ASSERT_EQ(0u, deliver(8, std::vector<uint8_t>(chunk.begin(), chunk.end())));
            offset += std::min<size_t>(63, remaining());
        }
        std::vector<uint8_t> last{uint8_t(remaining())};
        last.insert(last.end(), stream.begin() + offset, stream.end());
        ASSERT_EQ(0u, deliver(9, last));
    }
    std::vector<DebugPoint> points() {
        std::vector<DebugPoint> list;
        OutArray out = outArray(list);
        check(task.get(), task->getPoints(&out));
        return list;
    }
};

} // namespace

TEST_F(DebugTaskFixture, ConfigurationCallsSendTheirPackets) {
    start();
    EXPECT_EQ(Debug::debugTaskId, network->startedTask);
    ASSERT_EQ(0u, task->setExposure(37));
    ConfigRecord threshold{0, 0, 12};
    ASSERT_EQ(0u, task->setConfig(&threshold));
    int32_t zero = 5;
    float one = 0;
    ASSERT_EQ(0u, task->getReservedInt(&zero));
    ASSERT_EQ(0u, task->getReservedFloat(&one));
    EXPECT_EQ(0, zero);
    EXPECT_EQ(1.0f, one);
    auto packets = sent();
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(4, packets[0].id);
    EXPECT_EQ(recordBytes(4, 0, 37), packets[0].payload);
    EXPECT_EQ(4, packets[1].id);
    EXPECT_EQ(recordBytes(0, 0, 12), packets[1].payload);
    // A refused send is the caller's error, with the device's message.
    network->device->failSends = true;
    EXPECT_EQ("device refused", failure([&] { check(task.get(), task->setExposure(1)); }));
    int32_t value = 0;
    EXPECT_EQ("device refused", failure([&] { check(task.get(), task->getConfig(0, 0, &value)); }));
}

TEST_F(DebugTaskFixture, GetConfigWaitsForTheReplyAndLogsIt) {
    start();
    LogCapture log;
    std::thread device = answerRequest(1, [&] {
        EXPECT_EQ(0u, deliver(4, bytesOf(ConfigRecord{4, 3, -25})));
        EXPECT_EQ(0u, deliver(11));
    });
    int32_t value = 0;
    ASSERT_EQ(0u, task->getConfig(4, 3, &value));
    device.join();
    EXPECT_EQ(-25, value);
    auto packets = sent();
    ASSERT_EQ(1u, packets.size());
    EXPECT_EQ(5, packets[0].id);
    EXPECT_EQ(recordBytes(4, 3, 0), packets[0].payload);
    EXPECT_EQ(std::vector<std::string>{"config received: type:4 value:-25 address:3"}, log.lines());
}

TEST_F(DebugTaskFixture, ImageWithAnEmptyFinalChunkCompletes) {
    start();
    // Row 1 of 70 pixels: 70 data bytes, zero, padding, header = 76 bytes: one full chunk of
    // 63 bytes, one padded chunk and then the final chunk with no bytes.
    std::vector<uint8_t> data(70);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i + 1);
    ImageStreamBuilder b;
    b.segment(data, 1, 70, 1);
    std::thread device = answerRequest(1, [&] { deliverStream(b.stream(), true); });
    Ref<IImage> image;
    ASSERT_EQ(0u, task->getImage(image.out()));
    device.join();
    EXPECT_EQ(12, sent().at(0).id);
    std::vector<uint8_t> pixels;
    OutArray out = outArray(pixels);
    ASSERT_EQ(0u, image->getData(&out));
    ASSERT_EQ(640u * 480u, pixels.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), pixels.begin()));
    EXPECT_EQ(0, pixels[70]);
}

TEST_F(DebugTaskFixture, EachImageHoldsOnlyItsOwnStream) {
    start();
    ImageStreamBuilder first, second;
    first.segment({9, 9, 9}, 1, 3, 1);
    second.segment({4}, 1, 1, 2);
    std::thread device = answerRequest(1, [&] { deliverStream(first.stream(), false); });
    Ref<IImage> a, b;
    ASSERT_EQ(0u, task->getImage(a.out()));
    device.join();
    device = answerRequest(2, [&] { deliverStream(second.stream(), false); });
    ASSERT_EQ(0u, task->getImage(b.out()));
    device.join();
    std::vector<uint8_t> pixels;
    OutArray out = outArray(pixels);
    ASSERT_EQ(0u, b->getData(&out));
    EXPECT_EQ(0, pixels[0]);  // the first image's row is not decoded again
    EXPECT_EQ(4, pixels[640]);
}

TEST_F(DebugTaskFixture, ARowBeyondTheImageFailsTheRequest) {
    start();
    ImageStreamBuilder b;
    b.segment({3}, 1, 1, 481);
    std::thread device = answerRequest(1, [&] { deliverStream(b.stream(), false); });
    void* image = reinterpret_cast<void*>(1);
    ResultCode code = task->getImage(&image);
    device.join();
    EXPECT_EQ(E_FAIL_CODE, code);
    EXPECT_EQ(nullptr, image);
    EXPECT_EQ("Region Y coord overflow", lastErrorMessage());
}

TEST_F(DebugTaskFixture, GetPointsTwiceHandsOverOnlyNewPoints) {
    start();
    std::thread device = answerRequest(1, [&] {
        deliver(10, bytesOf(DebugPoint{801, 10.5f, 20.25f}));
        deliver(10, bytesOf(DebugPoint{5, 1.0f, 2.0f}));
        deliver(11);
    });
    auto firstList = points();
    device.join();
    // Arrives after the answer, before the next request.
    ASSERT_EQ(0u, deliver(10, bytesOf(DebugPoint{77, 300.0f, 400.0f})));
    ASSERT_EQ(2u, firstList.size());
    EXPECT_EQ(801u, firstList[0].value);
    EXPECT_EQ(10.5f, firstList[0].x);
    EXPECT_EQ(20.25f, firstList[0].y);
    EXPECT_EQ(5u, firstList[1].value);
    device = answerRequest(2, [&] { deliver(11); });
    auto secondList = points();
    device.join();
    ASSERT_EQ(1u, secondList.size());
    EXPECT_EQ(77u, secondList[0].value);
    auto packets = sent();
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(13, packets[0].id);
    EXPECT_TRUE(packets[0].payload.empty());
}

TEST_F(DebugTaskFixture, ADeviceThatNeverAnswersFailsAfterTwoSeconds) {
    start();
    auto begin = std::chrono::steady_clock::now();
    int32_t value = 0;
    std::string message = failure([&] { check(task.get(), task->getConfig(0, 0, &value)); });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ("Device did not answer", message);
    EXPECT_GE(seconds, 1.95);
    EXPECT_LT(seconds, 3.0);
}

TEST_F(DebugTaskFixture, ALateAnswerDoesNotEndTheNextRequest) {
    start(std::chrono::milliseconds(300));
    int32_t value = 0;
    EXPECT_EQ("Device did not answer", failure([&] { check(task.get(), task->getConfig(4, 0, &value)); }));
    // The answer to the request that gave up.
    ASSERT_EQ(0u, deliver(4, bytesOf(ConfigRecord{4, 0, 1})));
    ASSERT_EQ(0u, deliver(11));
    std::thread device = answerRequest(2, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        deliver(4, bytesOf(ConfigRecord{4, 0, 2}));
        deliver(11);
    });
    ASSERT_EQ(0u, task->getConfig(4, 0, &value));
    device.join();
    EXPECT_EQ(2, value);
}

// The device answers a request that gave up while the next request is already being made:
// neither the late bytes nor the late completion reach the next request.
TEST_F(DebugTaskFixture, ALateImageDoesNotLeakIntoTheNextRequest) {
    start(std::chrono::milliseconds(300));
    Ref<IImage> image;
    ASSERT_EQ(E_FAIL_CODE, task->getImage(image.out()));
    EXPECT_EQ("Device did not answer", lastErrorMessage());
    ImageStreamBuilder late, own;
    late.segment({9, 9, 9}, 1, 3, 1);
    own.segment({4}, 1, 1, 2);
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        deliverStream(late.stream(), false);
        for (int i = 0; i < 4000 && sent().size() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        deliverStream(own.stream(), false);
    });
    ASSERT_EQ(0u, task->getImage(image.out())) << lastErrorMessage();
    device.join();
    std::vector<uint8_t> pixels;
    OutArray out = outArray(pixels);
    ASSERT_EQ(0u, image->getData(&out));
    EXPECT_EQ(0, pixels[0]);  // the late row
    EXPECT_EQ(4, pixels[640]);
}

TEST_F(DebugTaskFixture, LatePointsDoNotLeakIntoTheNextRequest) {
    start(std::chrono::milliseconds(300));
    // Points of the request that will give up, received before the give-up.
    std::thread device = answerRequest(1, [&] { deliver(10, bytesOf(DebugPoint{1, 1.0f, 1.0f})); });
    EXPECT_EQ("Device did not answer", failure([&] { points(); }));
    device.join();
    device = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        deliver(10, bytesOf(DebugPoint{2, 2.0f, 2.0f}));
        deliver(11);
        for (int i = 0; i < 4000 && sent().size() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        deliver(10, bytesOf(DebugPoint{3, 3.0f, 3.0f}));
        deliver(11);
    });
    const auto list = points();
    device.join();
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(3u, list[0].value);
    // A device that never ends the late answer: the next request gives up within its own
    // time without asking, and the one after it is asked and answered.
    EXPECT_EQ("Device did not answer", failure([&] { points(); }));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ("Device did not answer", failure([&] { points(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(3u, sent().size());
    device = answerRequest(4, [&] { deliver(11); });
    EXPECT_TRUE(points().empty());
    device.join();
}

TEST_F(DebugTaskFixture, AFloodingDeviceIsBounded) {
    start();
    LogCapture log;
    const std::vector<uint8_t> chunk(63, 7);
    const size_t fullChunks = Debug::OrbDebugCotask::maximumImageStream / 63;
    for (size_t i = 0; i < fullChunks + 5; ++i)
        ASSERT_EQ(0u, deliver(8, chunk));
    for (size_t i = 0; i < Debug::OrbDebugCotask::maximumPoints + 3; ++i)
        ASSERT_EQ(0u, deliver(10, bytesOf(DebugPoint{uint32_t(i), 1.0f, 1.0f})));
    EXPECT_EQ((std::vector<std::string>{"Debug task: image stream beyond 4194304 bytes dropped",
                                         "Debug task: points beyond 65536 dropped"}),
              log.lines());
    std::thread device = answerRequest(1, [&] { deliver(11); });
    auto list = points();
    device.join();
    ASSERT_EQ(Debug::OrbDebugCotask::maximumPoints, list.size());
    EXPECT_EQ(65535u, list.back().value);  // the first ones were kept
}

TEST_F(DebugTaskFixture, TheEndOfTheTaskReleasesABlockedRequest) {
    start(std::chrono::milliseconds(20000));
    std::thread device = answerRequest(1, [&] {
        deliver(10, bytesOf(DebugPoint{3, 4.0f, 5.0f}));
        network->host.reset();  // the library lets go of the task
    });
    auto begin = std::chrono::steady_clock::now();
    auto list = points();
    device.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    ASSERT_EQ(1u, list.size());  // whatever had been collected
    EXPECT_EQ(3u, list[0].value);
    Kestrel::DeviceNetwork::Boolean finished = 0;
    ASSERT_EQ(0u, task->isFinished(&finished));
    EXPECT_NE(0u, finished);
    EXPECT_EQ("Task is finished", failure([&] { check(task.get(), task->setExposure(1)); }));
    EXPECT_EQ("Task is finished", failure([&] { points(); }));
}

TEST_F(DebugTaskFixture, ClosingTheViewerFreesEverything) {
    const int32_t baseline = ModuleRegistry::liveObjectCount();
    start();
    EXPECT_EQ(baseline + 3, ModuleRegistry::liveObjectCount());  // cotask, interop, device
    task.reset();
    EXPECT_EQ(0, FakeNetworkTest::FakeDevice::alive.load());  // the library sees the task closed
    network->host.reset();
    EXPECT_EQ(baseline, ModuleRegistry::liveObjectCount());
}

TEST_F(DebugTaskFixture, ATaskThatDoesNotStartLeavesNothing) {
    const int32_t baseline = ModuleRegistry::liveObjectCount();
    network->answerStart = false;
    EXPECT_FALSE(Debug::startDebugTask(*network, 7));
    EXPECT_EQ(baseline, ModuleRegistry::liveObjectCount());
}

TEST_F(DebugTaskFixture, TheInteropRefusesUnknownIdsAndShortPayloads) {
    start();
    LogCapture log;
    for (uint8_t id : {0, 1, 5, 12, 13, 14, 17, 28, 30, 255})
        EXPECT_EQ(E_NOTIMPL_CODE, deliver(id)) << int(id);
    for (uint8_t id : DebugTask::PacketId::ignored)
        EXPECT_EQ(0u, deliver(id, {1, 2, 3})) << int(id);
    EXPECT_EQ(E_INVALIDARG_CODE, deliver(4, std::vector<uint8_t>(11)));
    EXPECT_EQ(E_INVALIDARG_CODE, deliver(10, std::vector<uint8_t>(11)));
    EXPECT_EQ(E_INVALIDARG_CODE, deliver(8, std::vector<uint8_t>(62, 1)));
    EXPECT_EQ(E_INVALIDARG_CODE, deliver(9, {}));
    EXPECT_EQ(E_INVALIDARG_CODE, deliver(9, {3, 1, 1}));  // announces 3 bytes, carries 2
    auto lines = log.lines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("Debug packet 4: payload of 11 bytes, needs 12", lines[0]);
    EXPECT_EQ("Debug packet 9: payload of 3 bytes, needs 4", lines[4]);
    // None of the refused packets completed anything: a request still times out.
    task = Debug::startDebugTask(*network, 7, std::chrono::milliseconds(50));
    int32_t value = 0;
    EXPECT_EQ("Device did not answer", failure([&] { check(task.get(), task->getConfig(0, 0, &value)); }));
}

TEST_F(DebugTaskFixture, TheInteropSendsEveryHostPacket) {
    start();
    auto* cotaskSide = new DebugTask::HostDeviceInterop(nullptr);
    Ref<Kestrel::DeviceNetwork::Interop::IConnection> connection =
        Ref<Kestrel::DeviceNetwork::Interop::IConnection>::share(cotaskSide);
    ASSERT_EQ(0u, connection->setPeer(static_cast<Kestrel::DeviceNetwork::Interop::IDataReceiver*>(network->device)));
    auto link = cotaskSide->hostToDevice();
    const uint8_t four[4] = {1, 2, 3, 4};
    const uint8_t sixteen[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    ConfigRecord r{1, 2, 3};
    ASSERT_EQ(0u, link->sendPacket1(four));
    ASSERT_EQ(0u, link->sendPacket2(four));
    ASSERT_EQ(0u, link->sendPacket3(four));
    ASSERT_EQ(0u, link->setConfig(&r));
    ASSERT_EQ(0u, link->requestConfig(&r));
    ASSERT_EQ(0u, link->requestImage());
    ASSERT_EQ(0u, link->requestPoints());
    ASSERT_EQ(0u, link->sendPacket17());
    ASSERT_EQ(0u, link->sendPacket19(sixteen));
    EXPECT_EQ(E_POINTER_CODE, link->setConfig(nullptr));
    auto packets = sent();
    std::vector<int> ids;
    std::vector<size_t> sizes;
    for (const auto& p : packets) {
        ids.push_back(p.id);
        sizes.push_back(p.payload.size());
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 12, 13, 17, 19}), ids);
    EXPECT_EQ((std::vector<size_t>{4, 4, 4, 12, 12, 0, 0, 0, 16}), sizes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sixteen), 16), packets.back().payload);
    network->device->failSends = true;
    EXPECT_EQ(E_FAIL_CODE, link->requestImage());
    EXPECT_EQ("device refused", lastErrorMessage());
}
