#include "recording/NetworkRecorder.h"

#include <algorithm>
#include <fstream>
#include <utility>

#include "device_network/client/ConnectionTap.h"
#include "interface_contract/DebugLog.h"
#include "recording/TapConnection.h"

namespace Kestrel::Recording {

namespace {
constexpr InterfaceContract::InterfaceId trackingTask =
    InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
constexpr InterfaceContract::InterfaceId debugTask =
    InterfaceContract::makeInterfaceId("2AD83E54-9F90-4C8F-9E40-34231CB5F898");

bool exists(const std::string& path) { return std::ifstream(path).good(); }
} // namespace

std::string taskName(const InterfaceContract::InterfaceId& task) {
    if (task == trackingTask)
        return "tracking";
    if (task == debugTask)
        return "debug";
    return InterfaceContract::toString(task);
}

NetworkRecorder& NetworkRecorder::instance() {
    static NetworkRecorder recorder;
    return recorder;
}

void NetworkRecorder::install() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::exchange(installed_, true))
            return;
    }
    DeviceNetwork::Client::setConnectionTap(
        [this](DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node, const InterfaceContract::InterfaceId& task,
               InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> connection) {
            auto tap = std::make_shared<TaskTap>(taskIdentity(network, node, task));
            auto tapped = makeTapConnection(tap, std::move(connection));
            add(tap);
            return tapped;
        });
}

void NetworkRecorder::add(const std::shared_ptr<TaskTap>& tap) {
    std::lock_guard<std::mutex> lock(mutex_);
    pruneLocked();
    taps_.push_back(tap);
    if (recording_)
        beginLocked(tap);
}

void NetworkRecorder::pruneLocked() {
    taps_.erase(std::remove_if(taps_.begin(), taps_.end(),
                               [](const std::weak_ptr<TaskTap>& t) {
                                   auto tap = t.lock();
                                   return !tap || tap->ended();
                               }),
                taps_.end());
}

void NetworkRecorder::beginLocked(const std::shared_ptr<TaskTap>& tap) {
    const std::string base = folder_ + "/" + stamp_ + "_node" + std::to_string(tap->identity().node) + "_" +
                             taskName(tap->identity().task);
    std::string path = base + ".orbrec";
    auto taken = [&](const std::string& p) {
        return exists(p) || std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return f.first == p; });
    };
    for (int n = 2; taken(path); ++n)
        path = base + "_" + std::to_string(n) + ".orbrec";
    try {
        tap->startWriting(path);
        files_.emplace_back(path, tap);
    } catch (const std::exception& e) {
        logLine() << "Recording not started: " << e.what();
    }
}

std::vector<std::string> NetworkRecorder::start(const std::string& folder, const std::string& stamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (recording_)
        throw std::runtime_error("A recording is already running");
    recording_ = true;
    folder_ = folder;
    stamp_ = stamp;
    files_.clear();
    failed_.clear();
    pruneLocked();
    for (const auto& weak : taps_)
        if (auto tap = weak.lock())
            beginLocked(tap);
    std::vector<std::string> begun;
    for (const auto& file : files_)
        begun.push_back(file.first);
    return begun;
}

std::vector<std::string> NetworkRecorder::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_)
        return {};
    recording_ = false;
    std::vector<std::string> written;
    for (const auto& [path, tap] : std::exchange(files_, {})) {
        // A tap whose task ended has closed its file already; one that now writes elsewhere
        // cannot, since only this recorder starts them.
        tap->stopWriting();
        (tap->failed() ? failed_ : written).push_back(path);
    }
    return written;
}

std::vector<std::string> NetworkRecorder::failedFiles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

bool NetworkRecorder::recording() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return recording_;
}

size_t NetworkRecorder::runningTasks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const auto& weak : taps_)
        if (auto tap = weak.lock(); tap && !tap->ended())
            ++count;
    return count;
}

} // namespace Kestrel::Recording
