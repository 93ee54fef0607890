// Writes the seed corpora of the fuzz targets from the project's own encoders:
//     make_fuzz_seeds CORPUS_FOLDER SOURCE_FOLDER
// One folder per target under CORPUS_FOLDER; SOURCE_FOLDER is the repository (the simulator's
// example scenarios are copied from it). The seeds are small on purpose: the fuzzer finds the
// rest, and they are committed.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "FuzzInput.h"
#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/ImageStream.h"
#include "device_simulator/scene/PointCompressor.h"
#include "device_simulator/scene/Scenario.h"
#include "device_simulator/scene/TrackerScene.h"
#include "device_simulator/scene/TrackingStream.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/Varint.h"
#include "recording/RecordingWriter.h"
#include "storage_client/RemoteProtocol.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/PlacementCode.h"
#include "tracking/runtime/device_tasks/DebugInterfaces.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/stream/TrackingWire.h"

namespace fs = std::filesystem;
using namespace Kestrel;
using namespace Kestrel::Orb::Tracking;

namespace {

fs::path corpus;

void write(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(corpus / target);
    std::ofstream(corpus / target / name, std::ios::binary) << bytes;
}

std::string packet(uint8_t id, std::string_view payload) {
    std::string out(1, char(id));
    out.push_back(char(payload.size()));
    out.append(payload);
    return out;
}

// ---- environment codes: the record, then rays to the first markers of the list (whole bars)
// from 2.5 m above the floor looking down, or from 1.5 m below a ceiling looking up (the
// tracker turned half a turn about x).

std::string environmentSeed(const std::string& record, size_t rayCount) {
    std::string out;
    appendBlock(out, record);
    const EnvironmentCode code = readEnvironmentRecord(record);
    const bool ceiling = code.rigid && code.rigid->ceiling;
    auto environment = createEnvironment(code);
    std::vector<Vec3f> markers;
    auto markersOut = InterfaceContract::outArray(markers);
    environment->markerPositions(&markersOut);
    const Vec3f position{{0.1f, ceiling ? code.rigid->planeHeight - 1.5f : 2.5f, -0.2f}};
    for (size_t i = 0; i < markers.size() && i < rayCount; ++i) {
        Vec3f d = markers[i] - position;
        if (ceiling)
            d = Vec3f{{d.x(), -d.y(), -d.z()}};
        const float length = std::sqrt(d.x() * d.x() + d.y() * d.y() + d.z() * d.z());
        for (int k = 0; k < 3; ++k)
            appendF32(out, d[k] / length);
    }
    for (float v : {0.0f, 2.0f, 0.0f})  // origin of matchNearPosition
        appendF32(out, v);
    return out;
}

void environmentSeeds() {
    const BarParameters bar{0.5f, 0.4f};
    write("environment_code_fuzz", "single", environmentSeed(environmentRecord("Single", barPayload(bar)), 3));
    write("environment_code_fuzz", "quad", environmentSeed(environmentRecord("Quad", barPayload(bar)), 12));
    RigidParameters rigid;
    rigid.version = 0;
    rigid.preset = "puzzle";
    rigid.width = rigid.depth = 4;
    rigid.tiles = {{0, 0, 0}, {1, 2, 3}, {3, 1, 1}, {2, 3, 2}, {3, 3, 0}};
    write("environment_code_fuzz", "rigid-preset", environmentSeed(environmentRecord("Rigid", rigidPayload(rigid)), 12));
    rigid.version = 1;
    rigid.name = "floor";
    rigid.barLength = 0.5f;
    rigid.middleRatio = 0.35f;
    rigid.barAngle = 0.1f;
    rigid.barOffsetX = 0.05f;
    rigid.planeHeight = 0;
    rigid.tileSize = 0.6f;
    write("environment_code_fuzz", "rigid", environmentSeed(environmentRecord("Rigid", rigidPayload(rigid)), 12));
    rigid.ceiling = true;
    rigid.planeHeight = 3.0f;
    write("environment_code_fuzz", "rigid-ceiling", environmentSeed(environmentRecord("Rigid", rigidPayload(rigid)), 12));
}

// ---- placement codes.

void placementSeeds() {
    write("placement_code_fuzz", "zero", encodePlacementCode(Vec3f{{0, 0, 0}}, Vec3f{{0, 0, 0}}));
    write("placement_code_fuzz", "turned", encodePlacementCode(Vec3f{{0.01f, -0.12f, 0.3f}}, Vec3f{{0.5f, -1.2f, 3.0f}}));
}

// ---- calibration properties.

GeometrySettings distortedSettings() {
    GeometrySettings g;
    g.k = 1e-4f;
    g.p = {0.01f, -0.02f, 0.003f, 0.001f, 0, 0, 0, 0};
    g.c = {0.01f, 0.02f, 0.0f, -0.01f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    g.xi = 0.8f;
    for (size_t i = 0; i < imageMeshVertexCount; ++i)
        g.correction[i % 2][i] = {0.001f * float(i % 7), 0.0001f, -0.0001f};
    return g;
}

std::string angleBytes(float angle) {
    std::string out;
    Codec::appendFloat(out, angle);
    return out;
}

void propertySeeds() {
    for (auto [name, settings, angle] : {std::tuple{"plain", GeometrySettings{}, 2.0f},
                                         std::tuple{"distorted", distortedSettings(), 1.2f}}) {
        std::string out;
        appendBlock(out, serializeGeometrySettings(settings));
        appendBlock(out, angleBytes(angle));
        for (auto [x, y] : {std::pair{32768, 32768}, {100, 5000}, {65000, 60000}, {20000, 1000}}) {
            appendU16(out, uint16_t(x));
            appendU16(out, uint16_t(y));
            appendF32(out, 35.0f);
        }
        write("device_properties_fuzz", name, out);
    }
}

// ---- tracking stream: inertial samples and three frames of points that move and vanish.

std::vector<DeviceSimulator::EncodedPacket> trackingPackets() {
    namespace Wire = DeviceNetwork::Tasks::Orb::Tracking2;
    std::vector<DeviceSimulator::EncodedPacket> packets;
    auto sample = [](int16_t x, int16_t y, int16_t z) {
        Wire::InertialSample s{x, y, z};
        return std::string(reinterpret_cast<const char*>(&s), sizeof s);
    };
    packets.push_back({1, angleBytes(36.5f)});
    packets.push_back({2, sample(12, -40, 3)});
    packets.push_back({3, sample(0, 16000, 120)});
    packets.push_back({2, sample(32767, 0, -32768)});  // a saturated axis
    DeviceSimulator::PointCompressor compressor;
    std::vector<DeviceSimulator::FramePoint> frame;
    for (int i = 0; i < 6; ++i)
        frame.push_back({i, {uint16_t(5000 + 9000 * i), uint16_t(20000 + 3000 * (i % 3)), uint8_t(40 + i)}});
    for (int step = 0; step < 3; ++step) {
        for (auto& p : compressor.encodeFrame(frame))
            packets.push_back(p);
        for (auto& p : frame)
            p.point.x = uint16_t(p.point.x + 60);
        frame.erase(frame.begin() + 1);                              // a vanished point
        frame.push_back({100 + step, {uint16_t(61000), uint16_t(1000 + 500 * step), 200}});  // a new one
    }
    return packets;
}

// What the simulator's still tracker over the default floor sends in its first `seconds`.
std::string simulatedTracking(double seconds) {
    const DeviceSimulator::Scenario scenario = DeviceSimulator::defaultScenario();
    const DeviceSimulator::ScenarioDevice& still = scenario.devices.back();
    DeviceSimulator::TrackerScene scene(still, scenario.seed, DeviceSimulator::environmentMarkers(still.environment),
                                        DeviceSimulator::simulatedCamera());
    DeviceSimulator::TrackingStream stream(scene, 0, scenario.seed);
    std::string out;
    stream.advanceTo(seconds, [&](const DeviceSimulator::EncodedPacket& p, double) { out += packet(p.id, p.payload); });
    return out;
}

void trackingSeeds() {
    std::string out;
    for (const auto& p : trackingPackets())
        out += packet(p.id, p.payload);
    write("tracking_stream_fuzz", "frames", out);
    write("tracking_stream_fuzz", "simulated", simulatedTracking(0.03));
    write("tracking_pipeline_fuzz", "frames", out);
    write("tracking_pipeline_fuzz", "simulated", simulatedTracking(0.3));
}

// ---- debug task: a config reply, points, and the first rows of an image.

std::string imageStreamStart(size_t bytes) {
    std::vector<uint8_t> pixels(size_t(DeviceSimulator::imageWidth) * DeviceSimulator::imageHeight);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t((i * 7) % 13 == 0 ? 0 : 40 + i % 200);
    return DeviceSimulator::encodeImageStream(pixels).substr(0, bytes);
}

void debugSeeds() {
    namespace Debug = DeviceNetwork::Tasks::Orb::Debug;
    auto record = [](const auto& value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); };
    std::string out;
    out += char(0xF2);  // getConfig, answered by a reply and a completion
    out += packet(Debug::PacketId::configReply, record(Orb::ConfigRecord{4, 0, 321}));
    out += packet(Debug::PacketId::completed, "");
    out += char(0xF1);  // getPoints
    out += packet(Debug::PacketId::point, record(Orb::DebugPoint{12, 320.5f, 200.25f}));
    out += packet(Debug::PacketId::point, record(Orb::DebugPoint{3, 10.0f, 470.0f}));
    out += packet(Debug::PacketId::completed, "");
    out += char(0xF0);  // getImage
    for (const auto& p : DeviceSimulator::imageStreamPackets(imageStreamStart(1400)))
        out += packet(p.id, p.payload);
    write("debug_task_fuzz", "answers", out);

    write("image_stream_fuzz", "rows", std::string(1, '\0') + imageStreamStart(2000));
    write("image_stream_fuzz", "small", std::string(1, '\2') + imageStreamStart(700));
}

// ---- recordings: a tracking session with and without its calibration.

void recordingSeeds() {
    Recording::Header header;
    header.node = 7;
    header.task = InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
    header.startTimeMicroseconds = 1765000000000000;
    header.maximumViewAngle = angleBytes(2.0f);
    std::string records;
    double time = 0;
    for (const auto& p : trackingPackets())
        records += Recording::encodeRecord({time += 0.0005, Recording::Direction::DeviceToHost, p.id, p.payload});
    records += Recording::encodeRecord({time, Recording::Direction::HostToDevice, 9, std::string("\x40\x01\x00\x00", 4)});
    write("recording_fuzz", "session", Recording::encodeHeader(header) + records);
    header.geometrySettings = serializeGeometrySettings(GeometrySettings{});
    write("recording_fuzz", "calibrated", Recording::encodeHeader(header) + records.substr(0, 200));
}

// ---- storage responses, one per operation.

void storageSeeds() {
    namespace Remote = StorageClient::Remote;
    auto frame = [](uint8_t status, const std::string& text) {
        const std::string body = Remote::encodeResponseBody({status, text});
        return Remote::encodeFrameHeader(body.size()) + body;
    };
    write("storage_response_fuzz", "read", std::string(1, '\0') + frame(1, "a stored value"));
    write("storage_response_fuzz", "next", std::string(1, '\1') + frame(1, "key2"));
    write("storage_response_fuzz", "write-refused", std::string(1, '\2') + frame(0, "Invalid key name"));
    write("storage_response_fuzz", "exists", std::string(1, '\4') + frame(1, ""));
}

// ---- codecs.

void codecSeeds() {
    write("codecs_fuzz", "base64", std::string(1, '\0') + DeviceSimulator::defaultEnvironmentCode());
    write("codecs_fuzz", "urlsafe", std::string("\0-_8A", 5));
    write("codecs_fuzz", "bytes", std::string("\1\0\xff\x10 bytes", 10));
    std::string record;
    Codec::appendVarint(record, 300);
    Codec::appendString(record, "Rigid");
    Codec::appendFloat(record, 1.5f);
    Codec::appendDouble(record, -2.25);
    Codec::appendVarint(record, uint64_t(1) << 63);
    write("codecs_fuzz", "record", std::string("\2\6\0\1\2\3\4\0", 8) + record);
}

// ---- scenarios: the simulator's examples.

void scenarioSeeds(const fs::path& source) {
    for (const auto& entry : fs::directory_iterator(source / "device_simulator" / "scenarios")) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        write("scenario_fuzz", entry.path().stem().string(), text.str());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_fuzz_seeds CORPUS_FOLDER SOURCE_FOLDER\n";
        return 2;
    }
    corpus = argv[1];
    environmentSeeds();
    placementSeeds();
    propertySeeds();
    trackingSeeds();
    debugSeeds();
    recordingSeeds();
    storageSeeds();
    codecSeeds();
    scenarioSeeds(argv[2]);
    return 0;
}
