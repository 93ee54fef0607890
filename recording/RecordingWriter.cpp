#include "recording/RecordingWriter.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "recording/LittleEndian.h"

namespace Kestrel::Recording {

namespace {

void appendProperty(std::string& out, const std::string& value, const char* name) {
    if (value.size() > maximumPropertySize)
        throw std::invalid_argument(std::string(name) + " of " + std::to_string(value.size()) +
                                    " bytes is larger than a recording holds");
    LittleEndian::appendU32(out, uint32_t(value.size()));
    out += value;
}

} // namespace

std::string encodeHeader(const Header& header) {
    std::string out(formatMagic, sizeof formatMagic);
    LittleEndian::appendU32(out, formatVersion);
    LittleEndian::appendU32(out, header.node);
    LittleEndian::appendU32(out, header.task.data1);
    out.push_back(char(header.task.data2 & 0xFF));
    out.push_back(char(header.task.data2 >> 8));
    out.push_back(char(header.task.data3 & 0xFF));
    out.push_back(char(header.task.data3 >> 8));
    out.append(reinterpret_cast<const char*>(header.task.data4), 8);
    LittleEndian::appendU64(out, uint64_t(header.startTimeMicroseconds));
    appendProperty(out, header.geometrySettings, "sys/GeometrySettings.b");
    appendProperty(out, header.maximumViewAngle, "sys/MaximumViewAngle.b");
    return out;
}

std::string encodeRecord(const Record& record) {
    if (!std::isfinite(record.time) || record.time < 0)
        throw std::invalid_argument("record time " + std::to_string(record.time) + " is not a time since the start");
    if (record.payload.size() > maximumPayloadSize)
        throw std::invalid_argument("packet payload of " + std::to_string(record.payload.size()) + " bytes is too large");
    if (record.direction == Direction::TruePose && record.payload.size() != truePoseSize)
        throw std::invalid_argument("true pose of " + std::to_string(record.payload.size()) + " bytes");
    std::string out;
    out.reserve(recordHeaderSize + record.payload.size());
    LittleEndian::appendF64(out, record.time);
    out.push_back(char(record.direction));
    out.push_back(char(record.id));
    LittleEndian::appendU32(out, uint32_t(record.payload.size()));
    out += record.payload;
    return out;
}

RecordingWriter::RecordingWriter(const std::string& path, const Header& header) : path_(path) {
    const std::string bytes = encodeHeader(header);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw std::runtime_error("Cannot create recording " + path + ": " + std::strerror(errno));
    std::lock_guard<std::mutex> lock(mutex_);
    writeLocked(bytes);
}

RecordingWriter::~RecordingWriter() {
    if (file_)
        std::fclose(file_);
}

void RecordingWriter::append(const Record& record) {
    const std::string bytes = encodeRecord(record);
    std::lock_guard<std::mutex> lock(mutex_);
    writeLocked(bytes);
}

void RecordingWriter::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_)
        throw std::runtime_error("Recording " + path_ + " is already closed");
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fclose(file) != 0)
        throw std::runtime_error("Cannot finish recording " + path_ + ": " + std::strerror(errno));
}

uint64_t RecordingWriter::bytesWritten() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

void RecordingWriter::writeLocked(const std::string& bytes) {
    if (!file_)
        throw std::runtime_error("Recording " + path_ + " is closed");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        const int error = errno;
        std::fclose(std::exchange(file_, nullptr));
        throw std::runtime_error("Cannot write recording " + path_ + ": " + std::strerror(error));
    }
    bytes_ += bytes.size();
}

} // namespace Kestrel::Recording
