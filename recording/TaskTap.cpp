#include "recording/TaskTap.h"

#include <chrono>

#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"
#include "recording/RecordingReader.h"

namespace Kestrel::Recording {

TaskTap::TaskTap(Header identity) : identity_(std::move(identity)) {}

TaskTap::~TaskTap() { end(); }

void TaskTap::deviceToHost(const DeviceNetwork::Packet& packet, double timestamp) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!writer_)
        return;
    if (std::isnan(origin_))
        origin_ = timestamp;
    // Network time before the start (a packet already under way) counts as the start.
    const double time = std::isfinite(timestamp) ? std::max(timestamp - origin_, lastTime_) : lastTime_;
    lastTime_ = time;
    write(Direction::DeviceToHost, packet, time);
}

void TaskTap::hostToDevice(const DeviceNetwork::Packet& packet) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    if (writer_)
        write(Direction::HostToDevice, packet, lastTime_);
}

void TaskTap::truePose(double timestamp, const double pose[7]) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!writer_ || std::isnan(origin_) || !std::isfinite(timestamp))
        return;
    const std::string payload = encodeTruePose(pose);
    write(Direction::TruePose, DeviceNetwork::Packet{0, payload.data(), uint32_t(payload.size())},
          std::max(timestamp - origin_, 0.0));
}

void TaskTap::write(Direction direction, const DeviceNetwork::Packet& packet, double time) {
    try {
        Record record;
        record.time = time;
        record.direction = direction;
        record.id = packet.id;
        if (packet.size)
            record.payload.assign(static_cast<const char*>(packet.payload), packet.size);
        writer_->append(record);
        ++records_;
    } catch (const std::exception& e) {
        logLine() << "Recording of node " << identity_.node << " stopped: " << e.what();
        writer_.reset();
        failed_ = true;
    }
}

void TaskTap::startWriting(const std::string& path, double origin) {
    Header header = identity_;
    header.startTimeMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
    auto writer = std::make_unique<RecordingWriter>(path, header);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_)
        throw std::runtime_error("The task of node " + std::to_string(identity_.node) + " has ended");
    closeLocked();
    writer_ = std::move(writer);
    origin_ = origin;
    lastTime_ = 0;
    records_ = 0;
    failed_ = false;
}

std::string TaskTap::stopWriting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closeLocked();
}

void TaskTap::end() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    closeLocked();
}

std::string TaskTap::closeLocked() {
    if (!writer_)
        return {};
    std::unique_ptr<RecordingWriter> writer = std::move(writer_);
    try {
        writer->close();
    } catch (const std::exception& e) {
        logLine() << "Recording of node " << identity_.node << ": " << e.what();
        failed_ = true;
    }
    return writer->path();
}

bool TaskTap::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

bool TaskTap::writing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writer_ != nullptr;
}

bool TaskTap::failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

uint64_t TaskTap::recordCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

std::string readNodeProperty(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                             const std::string& key) {
    std::string value;
    InterfaceContract::InArray keyArray{key.data(), uint32_t(key.size())};
    InterfaceContract::OutArray out = InterfaceContract::outArray(value);
    if (network.readProperty(node, &keyArray, &out) != InterfaceContract::S_OK_CODE)
        return {};
    return value;
}

Header taskIdentity(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                    const InterfaceContract::InterfaceId& task) {
    Header header;
    header.node = node;
    header.task = task;
    header.geometrySettings = readNodeProperty(network, node, "sys/GeometrySettings.b");
    header.maximumViewAngle = readNodeProperty(network, node, "sys/MaximumViewAngle.b");
    return header;
}

} // namespace Kestrel::Recording
