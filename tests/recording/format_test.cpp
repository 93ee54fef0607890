// The .orbrec format: bytes of a known file written out by hand, a round trip through a real
// file, and refusal of every truncation and of corrupt fields with the offset named.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "recording/RecordingReader.h"
#include "recording/RecordingWriter.h"

namespace Kestrel::Recording {
namespace {

// Node 2, tracking task, start 1700000000123456 us, GeometrySettings "\x02abc", the 4-byte
// float 2.0943952, then a gyroscope sample (1, -2, 3) at 0.0125 s and an exposure of 500 sent
// at 0.5 s. Bytes from Python's struct module (little-endian).
const unsigned char knownFile[] = {
    0x4F, 0x52, 0x42, 0x52, 0x45, 0x43, 0x0D, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x30, 0x7D,
    0xC0, 0xA6, 0xCF, 0xE3, 0xED, 0x44, 0xB9, 0x96, 0x5F, 0x96, 0x99, 0x83, 0x92, 0xE2, 0x40, 0x22, 0x20, 0x18,
    0x24, 0x0A, 0x06, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x61, 0x62, 0x63, 0x04, 0x00, 0x00, 0x00, 0x92, 0x0A,
    0x06, 0x40, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x89, 0x3F, 0x00, 0x02, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00,
    0xFE, 0xFF, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, 0x01, 0x09, 0x04, 0x00, 0x00, 0x00,
    0xF4, 0x01, 0x00, 0x00};
const std::string knownBytes(reinterpret_cast<const char*>(knownFile), sizeof knownFile);

constexpr InterfaceContract::InterfaceId trackingTask =
    InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");

Header knownHeader() {
    Header h;
    h.node = 2;
    h.task = trackingTask;
    h.startTimeMicroseconds = 1700000000123456;
    h.geometrySettings = std::string("\x02" "abc");
    h.maximumViewAngle = std::string("\x92\x0A\x06\x40", 4);
    return h;
}

std::vector<Record> knownRecords() {
    return {{0.0125, Direction::DeviceToHost, 2, std::string("\x01\x00\xFE\xFF\x03\x00", 6)},
            {0.5, Direction::HostToDevice, 9, std::string("\xF4\x01\x00\x00", 4)}};
}

std::string tempPath(const char* name) {
    return ::testing::TempDir() + name;
}

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Parses a copy held in a buffer of exactly `size` bytes, so that the address sanitizer sees
// any read past the end.
Recording parseExact(const std::string& bytes, size_t size) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size ? size : 1]);
    std::memcpy(copy.get(), bytes.data(), size);
    return parseRecording(copy.get(), size);
}

// The known file is of version 1; the writer writes version 2, whose bytes differ only there.
std::string withU32(std::string bytes, size_t at, uint32_t value);
void expectRefused(const std::string& bytes, uint64_t offset, const std::string& part);
const std::string knownBytesV2 = withU32(knownBytes, 8, 2);

TEST(RecordingFormat, EncodesTheKnownBytes) {
    std::string bytes = encodeHeader(knownHeader());
    for (const Record& r : knownRecords())
        bytes += encodeRecord(r);
    EXPECT_EQ(bytes, knownBytesV2);
}

TEST(RecordingFormat, Version1IsReadAndVersion2CarriesTruePoses) {
    EXPECT_EQ(parseRecording(knownBytes).records.size(), 2u);
    // A pose record: time 1.0 (3FF0...), kind 2, id 0, 56 bytes: 0.5, -1, 2, 0, 0, 0.6, 0.8.
    const double pose[7] = {0.5, -1, 2, 0, 0, 0.6, 0.8};
    std::string record = std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F\x02\x00\x38\x00\x00\x00", 14) +
                         encodeTruePose(pose);
    EXPECT_EQ(record.substr(14, 8), std::string("\x00\x00\x00\x00\x00\x00\xE0\x3F", 8));
    EXPECT_EQ(record, encodeRecord({1.0, Direction::TruePose, 0, encodeTruePose(pose)}));
    const Recording read = parseRecording(knownBytesV2 + record);
    ASSERT_EQ(read.records.size(), 3u);
    double back[7];
    ASSERT_TRUE(decodeTruePose(read.records[2], back));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(back[i], pose[i]);
    EXPECT_FALSE(decodeTruePose(read.records[0], back));
    // Version 1 knows no pose records; a pose of another size is corrupt.
    expectRefused(knownBytes + record, 94, "corrupt at byte 94: direction 2 is neither 0 nor 1");
    expectRefused(knownBytesV2 + withU32(record, 10, 48).substr(0, 14 + 48), 94, "corrupt at byte 94: true pose of 48 bytes");
    std::string kind3 = record;
    kind3[8] = 3;
    expectRefused(knownBytesV2 + kind3, 94, "direction 3 is not 0, 1 or 2");
    EXPECT_THROW(encodeRecord({1.0, Direction::TruePose, 0, "short"}), std::invalid_argument);
}

TEST(RecordingFormat, WriterAndReaderRoundTripThroughAFile) {
    const std::string path = tempPath("round_trip.orbrec");
    {
        RecordingWriter writer(path, knownHeader());
        for (const Record& r : knownRecords())
            writer.append(r);
        EXPECT_EQ(writer.bytesWritten(), sizeof knownFile);
        writer.close();
        EXPECT_THROW(writer.append(knownRecords()[0]), std::runtime_error);
    }
    EXPECT_EQ(fileBytes(path), knownBytesV2);

    const Recording read = readRecordingFile(path);
    EXPECT_EQ(read.header.node, 2u);
    EXPECT_EQ(read.header.task, trackingTask);
    EXPECT_EQ(read.header.startTimeMicroseconds, 1700000000123456);
    EXPECT_EQ(read.header.geometrySettings, knownHeader().geometrySettings);
    EXPECT_EQ(read.header.maximumViewAngle, knownHeader().maximumViewAngle);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].time, 0.0125);
    EXPECT_EQ(read.records[0].direction, Direction::DeviceToHost);
    EXPECT_EQ(read.records[0].id, 2);
    EXPECT_EQ(read.records[0].payload, knownRecords()[0].payload);
    EXPECT_EQ(read.records[1].time, 0.5);
    EXPECT_EQ(read.records[1].direction, Direction::HostToDevice);
    EXPECT_EQ(read.records[1].id, 9);
    EXPECT_EQ(read.records[1].payload, knownRecords()[1].payload);
    std::remove(path.c_str());
}

TEST(RecordingFormat, EmptyPropertiesAndPayloadsRoundTrip) {
    Header h;
    std::string bytes = encodeHeader(h) + encodeRecord({0.0, Direction::DeviceToHost, 0, ""});
    EXPECT_EQ(bytes.size(), 40u + 4 + 4 + 14);
    Recording r = parseRecording(bytes);
    EXPECT_TRUE(r.header.geometrySettings.empty());
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_TRUE(r.records[0].payload.empty());
}

// Every prefix of the known file: the two that end between records are whole recordings, all
// others are refused at the start of the field that is cut, and the message names both the
// file's end and that offset.
TEST(RecordingFormat, EveryTruncationIsRefusedAtTheCutField) {
    struct Field {
        size_t begin, end;
    };
    // magic, version, node, task, start, size, GeometrySettings, size, MaximumViewAngle,
    // record 1 head, payload, record 2 head, payload.
    const Field fields[] = {{0, 8},   {8, 12},  {12, 16}, {16, 32}, {32, 40}, {40, 44}, {44, 48},
                            {48, 52}, {52, 56}, {56, 70}, {70, 76}, {76, 90}, {90, 94}};
    for (size_t length = 0; length < sizeof knownFile; ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        if (length == 56 || length == 76) {
            EXPECT_EQ(parseExact(knownBytes, length).records.size(), length == 56 ? 0u : 1u);
            continue;
        }
        size_t begin = 0;
        for (const Field& f : fields)
            if (length >= f.begin && length < f.end)
                begin = f.begin;
        try {
            parseExact(knownBytes, length);
            ADD_FAILURE() << "accepted";
        } catch (const RecordingError& e) {
            EXPECT_EQ(e.offset(), begin);
            const std::string message = e.what();
            EXPECT_NE(message.find("truncated at byte " + std::to_string(length)), std::string::npos) << message;
            EXPECT_NE(message.find("at byte " + std::to_string(begin) + " needs"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(parseExact(knownBytes, sizeof knownFile).records.size(), 2u);
}

std::string withU32(std::string bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

void expectRefused(const std::string& bytes, uint64_t offset, const std::string& part) {
    try {
        parseExact(bytes, bytes.size());
        ADD_FAILURE() << "accepted, expected: " << part;
    } catch (const RecordingError& e) {
        EXPECT_EQ(e.offset(), offset) << e.what();
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

TEST(RecordingFormat, OlderAndNewerVersionsAreRefusedWithTheirNumber) {
    expectRefused(withU32(knownBytes, 8, 0), 8, "Recording version 0 is not supported (this build reads versions 1 to 2)");
    expectRefused(withU32(knownBytes, 8, 3), 8, "Recording version 3 is not supported");
    expectRefused(withU32(knownBytes, 8, 0xFFFFFFFFu), 8, "Recording version 4294967295 is not supported");
}

TEST(RecordingFormat, CorruptFieldsAreRefusedAtTheirOffset) {
    std::string badMagic = knownBytes;
    badMagic[6] = '\n';  // a file that went through a text-mode copy
    expectRefused(badMagic, 0, "Not a recording");
    expectRefused(withU32(knownBytes, 40, 0xFFFFFFF0u), 40, "corrupt at byte 40: sys/GeometrySettings.b size 4294967280");
    expectRefused(withU32(knownBytes, 48, (1u << 20) + 1), 48, "corrupt at byte 48: sys/MaximumViewAngle.b size");
    // A property size that is allowed but runs past the end is a truncation at its bytes.
    expectRefused(withU32(knownBytes, 40, 1000), 44, "truncated at byte 94");

    std::string direction = knownBytes;
    direction[76 + 8] = 2;
    expectRefused(direction, 76, "corrupt at byte 76: direction 2");
    expectRefused(withU32(knownBytes, 56 + 10, 0x7FFFFFFFu), 56, "corrupt at byte 56: payload size 2147483647");

    auto withTime = [&](size_t at, double t) {
        std::string bytes = knownBytes;
        std::memcpy(&bytes[at], &t, sizeof t);
        return bytes;
    };
    expectRefused(withTime(56, std::nan("")), 56, "corrupt at byte 56: record time");
    expectRefused(withTime(76, -0.25), 76, "corrupt at byte 76: record time -0.25");
    expectRefused(withTime(76, INFINITY), 76, "record time inf");
}

TEST(RecordingFormat, RandomDamageNeverEscapesAsAnythingButARecordingError) {
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 20000; ++trial) {
        std::string bytes = knownBytes;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = char(random() & 0xFF);
        const size_t length = random() % (bytes.size() + 1);
        try {
            Recording r = parseExact(bytes, length);
            size_t total = 0;
            for (const Record& record : r.records)
                total += recordHeaderSize + record.payload.size();
            EXPECT_LE(total, length);
        } catch (const RecordingError& e) {
            EXPECT_LE(e.offset(), length);
        }
    }
}

TEST(RecordingFormat, WriterRefusesWhatTheReaderWouldRefuse) {
    EXPECT_THROW(encodeRecord({-1.0, Direction::DeviceToHost, 0, ""}), std::invalid_argument);
    EXPECT_THROW(encodeRecord({NAN, Direction::DeviceToHost, 0, ""}), std::invalid_argument);
    EXPECT_THROW(encodeRecord({0.0, Direction::DeviceToHost, 0, std::string(maximumPayloadSize + 1, 'x')}),
                 std::invalid_argument);
    Header h;
    h.geometrySettings.assign(maximumPropertySize + 1, 'g');
    EXPECT_THROW(encodeHeader(h), std::invalid_argument);
}

TEST(RecordingFormat, MissingFileAndUnwritablePathAreNamed) {
    try {
        readRecordingFile("/nonexistent/folder/x.orbrec");
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/folder/x.orbrec"), std::string::npos);
    }
    EXPECT_THROW(RecordingWriter("/nonexistent/folder/x.orbrec", Header{}), std::runtime_error);
}

TEST(RecordingFormat, FileErrorsCarryThePath) {
    const std::string path = tempPath("cut.orbrec");
    std::ofstream(path, std::ios::binary) << knownBytes.substr(0, 60);
    try {
        readRecordingFile(path);
        ADD_FAILURE();
    } catch (const RecordingError& e) {
        EXPECT_EQ(e.offset(), 56u);
        EXPECT_EQ(std::string(e.what()).rfind(path + ": Recording truncated at byte 60", 0), 0u) << e.what();
    }
    std::remove(path.c_str());
}

} // namespace
} // namespace Kestrel::Recording
