#pragma once
// Reading .orbrec files. The whole file is checked before anything is handed out: a wrong
// magic, another format version, a size beyond the file's end or a field with an impossible
// value throws RecordingError whose message names the byte offset. Nothing is read past the
// end of the bytes given.

#include <cstddef>
#include <string>

#include "recording/RecordingFormat.h"

namespace Kestrel::Recording {

Recording parseRecording(const unsigned char* bytes, size_t size);
Recording parseRecording(const std::string& bytes);

// The payload of a true-pose record (Direction::TruePose) and back; decode answers false for
// any other record.
std::string encodeTruePose(const double pose[7]);
bool decodeTruePose(const Record& record, double pose[7]);

// Reads and parses `path`; a file that cannot be read throws std::runtime_error naming it,
// RecordingError messages are prefixed with the path.
Recording readRecordingFile(const std::string& path);

} // namespace Kestrel::Recording
