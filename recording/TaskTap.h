#pragma once
// The recording side of one started task: it is told every packet of the task, both ways, and
// while a recording is attached writes each into that recording. Packets are never changed or
// held back here; a failing recording is logged once and dropped, and the task runs on.
//
// Thread use: device-to-host packets arrive on the network's delivery thread, host-to-device
// packets on whichever thread sends; attaching and detaching happen on a third. One mutex
// guards the writer and the clock.

#include <cmath>
#include <memory>
#include <mutex>
#include <string>

#include "device_network/DeviceNetworkInterfaces.h"
#include "recording/RecordingWriter.h"

namespace Kestrel::Recording {

class TaskTap {
public:
    // `identity`: node, task and the node's two properties; its start time is set when a
    // recording is attached.
    explicit TaskTap(Header identity);
    ~TaskTap();

    void deviceToHost(const DeviceNetwork::Packet& packet, double timestamp) noexcept;
    void hostToDevice(const DeviceNetwork::Packet& packet) noexcept;
    // The tracker's true pose at network time `timestamp` (position, then quaternion x, y, z, w),
    // for a simulated tracker. Written only once the recording's time origin is known.
    void truePose(double timestamp, const double pose[7]) noexcept;

    // Starts writing into `path` (replaced if it exists). `origin` is the network time that
    // becomes time 0 of the recording; NaN takes the first device-to-host packet's time.
    // Throws std::runtime_error when the file cannot be created; a recording already attached
    // is closed first.
    void startWriting(const std::string& path, double origin = NAN);
    // Closes the recording; returns its path, or empty when none was attached.
    std::string stopWriting();
    // The task has ended: the recording is closed and no other is attached.
    void end();

    const Header& identity() const { return identity_; }
    bool ended() const;
    bool writing() const;
    // Records written into the current recording.
    uint64_t recordCount() const;
    // Whether the latest recording stopped because its file could not be written.
    bool failed() const;

private:
    void write(Direction direction, const DeviceNetwork::Packet& packet, double time);
    std::string closeLocked();

    const Header identity_;
    mutable std::mutex mutex_;
    std::unique_ptr<RecordingWriter> writer_;
    double origin_ = NAN;
    double lastTime_ = 0;  // of the latest device-to-host record, for host-to-device records
    uint64_t records_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

// The task's value of a node property, or empty when the network has none for it.
std::string readNodeProperty(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                             const std::string& key);

// The identity of a task about to start: node, task and the node's "sys/GeometrySettings.b"
// and "sys/MaximumViewAngle.b".
Header taskIdentity(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                    const InterfaceContract::InterfaceId& task);

} // namespace Kestrel::Recording
