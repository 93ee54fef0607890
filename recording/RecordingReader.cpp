#include "recording/RecordingReader.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "recording/LittleEndian.h"

namespace Kestrel::Recording {

namespace {

// Walks the bytes with bounds checks; every failure names the offset it stopped at.
class Cursor {
public:
    Cursor(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    size_t offset() const { return offset_; }
    size_t remaining() const { return size_ - offset_; }
    bool atEnd() const { return offset_ == size_; }

    // `what` names the field for the message when the file ends inside it.
    const unsigned char* take(size_t count, const char* what) {
        if (count > remaining())
            throw RecordingError(offset_, "Recording truncated at byte " + std::to_string(size_) + ": " + what +
                                              " at byte " + std::to_string(offset_) + " needs " +
                                              std::to_string(count) + " bytes, " + std::to_string(remaining()) +
                                              " left");
        const unsigned char* p = data_ + offset_;
        offset_ += count;
        return p;
    }
    uint32_t u32(const char* what) { return LittleEndian::readU32(take(4, what)); }

private:
    const unsigned char* data_;
    size_t size_;
    size_t offset_ = 0;
};

std::string property(Cursor& cursor, const char* name) {
    const size_t at = cursor.offset();
    const uint32_t size = cursor.u32(name);
    if (size > maximumPropertySize)
        throw RecordingError(at, "Recording corrupt at byte " + std::to_string(at) + ": " + name + " size " +
                                     std::to_string(size) + " is larger than " + std::to_string(maximumPropertySize));
    const unsigned char* bytes = cursor.take(size, name);
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

Header parseHeader(Cursor& cursor) {
    const unsigned char* magic = cursor.take(sizeof formatMagic, "the magic");
    if (std::memcmp(magic, formatMagic, sizeof formatMagic) != 0)
        throw RecordingError(0, "Not a recording: the magic at byte 0 is not \"ORBREC\"");
    const uint32_t version = cursor.u32("the version");
    if (version < oldestReadVersion || version > formatVersion)
        throw RecordingError(8, "Recording version " + std::to_string(version) +
                                    " is not supported (this build reads versions " +
                                    std::to_string(oldestReadVersion) + " to " + std::to_string(formatVersion) + ")");
    Header header;
    header.version = version;
    header.node = cursor.u32("the node");
    const unsigned char* task = cursor.take(16, "the task identifier");
    header.task.data1 = LittleEndian::readU32(task);
    header.task.data2 = uint16_t(task[4] | (task[5] << 8));
    header.task.data3 = uint16_t(task[6] | (task[7] << 8));
    std::memcpy(header.task.data4, task + 8, 8);
    header.startTimeMicroseconds = int64_t(LittleEndian::readU64(cursor.take(8, "the start time")));
    header.geometrySettings = property(cursor, "sys/GeometrySettings.b");
    header.maximumViewAngle = property(cursor, "sys/MaximumViewAngle.b");
    return header;
}

Record parseRecord(Cursor& cursor, uint32_t version) {
    const size_t at = cursor.offset();
    const unsigned char* head = cursor.take(recordHeaderSize, "the record");
    Record record;
    record.time = LittleEndian::readF64(head);
    auto corrupt = [&](const std::string& what) {
        return RecordingError(at, "Recording corrupt at byte " + std::to_string(at) + ": " + what);
    };
    if (!std::isfinite(record.time) || record.time < 0)
        throw corrupt("record time " + std::to_string(record.time) + " is not a time since the start");
    const uint8_t lastKind = version >= 2 ? uint8_t(Direction::TruePose) : uint8_t(Direction::HostToDevice);
    if (head[8] > lastKind)
        throw corrupt("direction " + std::to_string(head[8]) +
                      (version >= 2 ? " is not 0, 1 or 2" : " is neither 0 nor 1"));
    record.direction = Direction(head[8]);
    record.id = head[9];
    const uint32_t size = LittleEndian::readU32(head + 10);
    if (size > maximumPayloadSize)
        throw corrupt("payload size " + std::to_string(size) + " is larger than " + std::to_string(maximumPayloadSize));
    if (record.direction == Direction::TruePose && size != truePoseSize)
        throw corrupt("true pose of " + std::to_string(size) + " bytes, not " + std::to_string(truePoseSize));
    const unsigned char* payload = cursor.take(size, "the record's payload");
    record.payload.assign(reinterpret_cast<const char*>(payload), size);
    return record;
}

} // namespace

Recording parseRecording(const unsigned char* bytes, size_t size) {
    Cursor cursor(bytes, size);
    Recording recording;
    recording.header = parseHeader(cursor);
    while (!cursor.atEnd())
        recording.records.push_back(parseRecord(cursor, recording.header.version));
    return recording;
}

Recording parseRecording(const std::string& bytes) {
    return parseRecording(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

Recording readRecordingFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        throw std::runtime_error("Cannot read recording " + path);
    // One read into a buffer of the file's size: recordings run to tens of megabytes.
    const std::streamoff size = file.tellg();
    std::string bytes(size > 0 ? size_t(size) : 0, '\0');
    file.seekg(0);
    if (size < 0 || !file.read(bytes.data(), std::streamsize(bytes.size())))
        throw std::runtime_error("Cannot read recording " + path);
    try {
        return parseRecording(bytes);
    } catch (const RecordingError& e) {
        throw RecordingError(e.offset(), path + ": " + e.what());
    }
}

} // namespace Kestrel::Recording

namespace Kestrel::Recording {

std::string encodeTruePose(const double pose[7]) {
    std::string out;
    for (int i = 0; i < 7; ++i)
        LittleEndian::appendF64(out, pose[i]);
    return out;
}

bool decodeTruePose(const Record& record, double pose[7]) {
    if (record.direction != Direction::TruePose || record.payload.size() != truePoseSize)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.payload.data());
    for (int i = 0; i < 7; ++i)
        pose[i] = LittleEndian::readF64(bytes + 8 * i);
    return true;
}

} // namespace Kestrel::Recording
