#pragma once
// The .orbrec file: the raw packets of one task on one node, both ways, with the device
// properties the host side needs to make sense of them. docs/recording-format.md gives the
// byte layout; all integers are little-endian.
//
//   header   magic "ORBREC\r\n", version, node, task identifier, start time (microseconds
//            since 1970 UTC), "sys/GeometrySettings.b" and "sys/MaximumViewAngle.b" (each a
//            32-bit size and the bytes)
//   records  time (seconds since the start, 64-bit float), kind (direction), packet id, 32-bit
//            size, payload; until the end of the file. Since version 2 a record may also hold
//            the true pose of the tracker (a simulator's ground truth) instead of a packet.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "interface_contract/InterfaceId.h"

namespace Kestrel::Recording {

constexpr char formatMagic[8] = {'O', 'R', 'B', 'R', 'E', 'C', '\r', '\n'};
// The version written; every version from oldestReadVersion on is read.
constexpr uint32_t formatVersion = 2;
constexpr uint32_t oldestReadVersion = 1;
// Sizes above these are taken as corruption rather than allocated: real properties are a few
// kilobytes and real packets a few dozen bytes.
constexpr uint32_t maximumPropertySize = 1u << 20;
constexpr uint32_t maximumPayloadSize = 1u << 20;
constexpr size_t fixedHeaderSize = 40;  // magic to start time
constexpr size_t recordHeaderSize = 14;  // time, direction, id, size

// What a record holds: a packet in one of the two directions, or (version 2 on) the true pose
// of the tracker at the record's time, which no packet carries.
enum class Direction : uint8_t { DeviceToHost = 0, HostToDevice = 1, TruePose = 2 };

// A true-pose record's payload: seven little-endian 64-bit floats, the position (x, y, z in
// metres) and the rotation quaternion (x, y, z, w) of the tracker in the world of its
// environment, as the simulator places it. Its packet id is 0.
constexpr uint32_t truePoseSize = 56;

struct Header {
    uint32_t version = formatVersion;  // as read; the writer always writes formatVersion
    uint32_t node = 0;
    InterfaceContract::InterfaceId task{};
    int64_t startTimeMicroseconds = 0;  // wall-clock time of the start, since 1970-01-01 UTC
    std::string geometrySettings;       // "sys/GeometrySettings.b", empty when unreadable
    std::string maximumViewAngle;       // "sys/MaximumViewAngle.b", empty when unreadable
};

struct Record {
    double time = 0;  // seconds since the start of the recording
    Direction direction = Direction::DeviceToHost;
    uint8_t id = 0;
    std::string payload;
};

struct Recording {
    Header header;
    std::vector<Record> records;
};

// A file that is not a readable recording. `offset` is the byte at which reading stopped.
class RecordingError : public std::runtime_error {
public:
    RecordingError(uint64_t offset, const std::string& what)
        : std::runtime_error(what), offset_(offset) {}
    uint64_t offset() const { return offset_; }

private:
    uint64_t offset_;
};

} // namespace Kestrel::Recording
