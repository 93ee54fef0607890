#pragma once
// Writing .orbrec files. The encoders are pure; RecordingWriter appends to a file and may be
// fed from several threads (device-to-host packets on the network's thread, host-to-device
// packets on the caller's).

#include <cstdio>
#include <mutex>
#include <string>

#include "recording/RecordingFormat.h"

namespace Kestrel::Recording {

std::string encodeHeader(const Header& header);
// Throws std::invalid_argument for a payload above maximumPayloadSize or a time that is
// negative or not finite, which the reader would refuse.
std::string encodeRecord(const Record& record);

class RecordingWriter {
public:
    // Creates (or replaces) `path` and writes the header; throws std::runtime_error naming the
    // file when it cannot be written.
    RecordingWriter(const std::string& path, const Header& header);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Appends one record; throws std::runtime_error when the file cannot be written (the
    // writer then stays failed and refuses further records).
    void append(const Record& record);
    // Flushes and closes; throws like append. Further appends fail.
    void close();

    const std::string& path() const { return path_; }
    uint64_t bytesWritten() const;

private:
    void writeLocked(const std::string& bytes);

    std::string path_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;  // null once closed or failed
    uint64_t bytes_ = 0;
};

} // namespace Kestrel::Recording
