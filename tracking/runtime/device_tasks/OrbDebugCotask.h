#pragma once
// OrbDebugCotask: the host side of the tracker's debug task, behind Kestrel::Orb::Debug::ICotask.
//
// Requests go out as packets through the interop; the answers arrive on the library's delivery
// thread and are collected here (the config reply's value, the image stream bytes, the points).
// An answer is complete when the device signals it (packet 9 ends an image, packet 11 ends a
// config reply or a point list); a completion ends the request in flight, and one that comes
// with no request in flight is forgotten. Requests are served one at a time. A request waits
// at most `answerTimeout` and then fails with "Device did not answer". When the task ends,
// from either side, the link to the device is dropped and a blocked request returns with what
// it has.
//
// The device may still answer a request that gave up. That late answer belongs to nobody:
// everything the device sends until its completion is dropped, and the next request waits for
// that completion before it asks, so that neither the late bytes nor the late completion reach
// it. The wait is part of the request's own `answerTimeout`: when the late answer has not ended
// by then, the request fails without asking and the late answer counts as lost.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "device_network/client/Cotask.h"
#include "tracking/runtime/device_tasks/DebugInterfaces.h"

namespace Kestrel::Orb::Debug {

namespace DebugTask = DeviceNetwork::Tasks::Orb::Debug;
using DeviceNetwork::Boolean;

class OrbDebugCotask final : public DeviceNetwork::Client::Cotask<DebugTask::IDeviceToHost, DebugTask::IHostToDevice>,
                             public InterfaceContract::Implements<ICotask> {
public:
    static constexpr std::chrono::milliseconds defaultAnswerTimeout{2000};
    // Bounds of what a device may pile up between two requests (a full image is about 310 kB);
    // beyond them data are dropped with one log line per answer.
    static constexpr size_t maximumImageStream = size_t(4) << 20;
    static constexpr size_t maximumPoints = 65536;

    explicit OrbDebugCotask(std::chrono::milliseconds answerTimeout = defaultAnswerTimeout);

    // ICotask
    using Cotask::isFinished;
    ResultCode KESTREL_CALL isFinished(Boolean* finished) override { return Cotask::isFinished(finished); }
    ResultCode KESTREL_CALL setExposure(int32_t value) override;
    ResultCode KESTREL_CALL getReservedInt(int32_t* zero) override;
    ResultCode KESTREL_CALL getReservedFloat(float* one) override;
    ResultCode KESTREL_CALL getConfig(uint32_t type, uint32_t address, int32_t* value) override;
    ResultCode KESTREL_CALL setConfig(const ConfigRecord* record) override;
    ResultCode KESTREL_CALL getImage(void** image) override;
    ResultCode KESTREL_CALL getPoints(OutArray* points) override;

    // DebugTask::IDeviceToHost
    ResultCode KESTREL_CALL configReceived(const ConfigRecord* record) override;
    ResultCode KESTREL_CALL imageChunk(const uint8_t* bytes63) override;
    ResultCode KESTREL_CALL imageFinalChunk(const uint8_t* bytes, uint32_t count) override;
    ResultCode KESTREL_CALL pointReceived(const DebugPoint* point) override;
    ResultCode KESTREL_CALL completed() override;
    ResultCode KESTREL_CALL packet15(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet16(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet22(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet23(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet24(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet25(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet26(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet27(const void*, uint32_t) override { return 0; }
    ResultCode KESTREL_CALL packet29(const void*, uint32_t) override { return 0; }

private:
    void onViewerReleased() override { endTask(); }
    void onDeviceReleased() override { endTask(); }
    void endTask();
    void appendImageBytes(const uint8_t* bytes, uint32_t count);
    // Sends one request through `send(link)` and waits for its completion; then `take()` runs
    // under the answer mutex and takes the collected answer. After the timeout the partial
    // answer is taken and dropped, and "Device did not answer" is thrown.
    template <class Send, class Take>
    void request(Send&& send, Take&& take);
    // A completion from the device (packets 9 and 11).
    void complete();
    // Whether data from the device belong to a late answer and are dropped; under answerMutex_.
    bool dropping() const { return lateAnswer_; }

    const std::chrono::milliseconds answerTimeout_;
    std::mutex requestMutex_;  // one request at a time
    // The collected answers and the request state; written on the delivery thread, taken by
    // the requesting thread.
    std::mutex answerMutex_;
    std::condition_variable answerChanged_;
    bool inFlight_ = false;
    bool answered_ = false;
    bool ended_ = false;
    bool lateAnswer_ = false;  // a request gave up and its answer has not ended yet
    int32_t pendingValue_ = 0;
    std::string imageStream_;
    bool imageStreamOverflowed_ = false;
    std::vector<DebugPoint> points_;
    bool pointsOverflowed_ = false;
};

} // namespace Kestrel::Orb::Debug
