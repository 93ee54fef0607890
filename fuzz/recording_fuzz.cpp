// Recordings (.orbrec): the whole input is the file. A recording that reads is written again
// with the project's encoders, and that must read back to the very same bytes; its calibration
// properties go through their own parsers, as a replay does.

#include <stdexcept>

#include "FuzzInput.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingWriter.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"

using namespace Kestrel::Recording;

namespace {

std::string encode(const Recording& recording) {
    std::string bytes = encodeHeader(recording.header);
    for (const Record& record : recording.records)
        bytes += encodeRecord(record);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Recording recording;
    try {
        recording = parseRecording(data, size);
    } catch (const RecordingError&) {
        return 0;
    }
    const std::string written = encode(recording);  // a read record is one the writer accepts
    if (encode(parseRecording(written)) != written)
        __builtin_trap();
    try {
        Kestrel::Orb::Tracking::parseGeometrySettings(recording.header.geometrySettings);
    } catch (const std::runtime_error&) {
    }
    try {
        Kestrel::Orb::Tracking::parseMaximumViewAngle(recording.header.maximumViewAngle);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
