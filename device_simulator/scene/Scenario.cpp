#include "device_simulator/scene/Scenario.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "device_simulator/scene/JsonReader.h"
#include "interface_contract/Base64.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/Varint.h"

namespace Kestrel::DeviceSimulator {

namespace {

// The default floor: 6 by 6 tiles of 0.6 m with the 1.5 m "puzzle" bar (middle marker at a
// third), x, y and quarter turns of the occupied tiles. The tiles were drawn once from a fixed
// pseudo-random sequence, keeping a tile only where no marker comes near another tile's bar
// (so the bar detector separates every bar) and where every pair of tiles stays unique under
// the four turns (so any two whole bars in view tell the place).
struct FloorTile {
    uint8_t x, y, orientation;
};
constexpr FloorTile defaultFloorTiles[] = {{3, 4, 0}, {3, 2, 3}, {2, 0, 3}, {5, 5, 0}, {1, 4, 3},
                                           {0, 5, 3}, {0, 1, 3}, {5, 0, 0}, {4, 2, 3}};
constexpr unsigned defaultFloorSide = 6;

} // namespace

const std::string& defaultEnvironmentCode() {
    static const std::string code = [] {
        std::string payload;
        Codec::appendVarint(payload, 0);  // legacy rigid payload: a preset name instead of numbers
        Codec::appendString(payload, "puzzle");
        Codec::appendVarint(payload, defaultFloorSide);
        Codec::appendVarint(payload, defaultFloorSide);
        Codec::appendVarint(payload, std::size(defaultFloorTiles));
        for (const FloorTile& tile : defaultFloorTiles) {
            Codec::appendVarint(payload, tile.x);
            Codec::appendVarint(payload, tile.y);
            payload.push_back(char(tile.orientation));
        }
        std::string record;
        Codec::appendVarint(record, 0);
        Codec::appendString(record, "Rigid");
        Codec::appendString(record, payload);
        return Codec::encodeBase64(record);
    }();
    return code;
}

Scenario defaultScenario() {
    Scenario s;
    ScenarioDevice adapter;
    adapter.handle = 1;
    adapter.kind = DeviceKind::Adapter;
    adapter.vendor = adapterVendor;
    adapter.product = adapterProduct;
    s.devices.push_back(adapter);

    ScenarioDevice walking;
    walking.handle = 2;
    walking.parent = 1;
    walking.vendor = trackerVendor;
    walking.product = trackerProduct;
    walking.environment = defaultEnvironmentCode();
    walking.trajectory.kind = TrajectoryKind::Circle;
    walking.trajectory.jitter = true;
    s.devices.push_back(walking);

    ScenarioDevice still = walking;
    still.handle = 3;
    still.trajectory = TrajectorySpec{};
    still.trajectory.centre = Vec3{{0.3, 1.68, -0.4}};
    s.devices.push_back(still);
    return s;
}

namespace {

// An unsigned integer written as text: "0x" and hexadecimal digits, a leading "0" and octal
// digits, else decimal digits. False for anything else, a sign or a value above 64 bits.
bool parseUnsigned(const std::string& text, uint64_t& value) {
    int base = 10;
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        start = 1;
    }
    if (start == text.size())
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data() + start, end, value, base);
    return result.ec == std::errc() && result.ptr == end;
}

// Reads one JSON object, remembering its path for messages and refusing fields it does not know.
class Fields {
public:
    Fields(const JsonObject& object, std::string path) : object_(object), path_(std::move(path)) {}

    [[noreturn]] void fail(const std::string& field, const std::string& what) const {
        throw ScenarioError(name(field) + ": " + what);
    }
    std::string name(const std::string& field) const { return path_.empty() ? field : path_ + "." + field; }

    bool has(const char* field) {
        known_.insert(field);
        return object_.contains(field) && !object_.value(field).isNull();
    }
    JsonValue value(const char* field) { return has(field) ? object_.value(field) : JsonValue(); }

    double number(const char* field, double fallback, double low, double high) {
        if (!has(field))
            return fallback;
        const JsonValue& v = object_.value(field);
        if (!v.isDouble())
            fail(field, "expected a number");
        double d = v.toDouble();
        if (!(d >= low && d <= high))
            fail(field, "value " + std::to_string(d) + " outside " + std::to_string(low) + ".." + std::to_string(high));
        return d;
    }
    // Integers may also be written as strings such as "0x3237".
    uint64_t integer(const char* field, uint64_t fallback, uint64_t high) {
        if (!has(field))
            return fallback;
        const JsonValue& v = object_.value(field);
        double d = 0;
        if (v.isString()) {
            uint64_t parsed = 0;
            if (!parseUnsigned(v.toString(), parsed))
                fail(field, "expected an integer");
            d = double(parsed);
        } else if (v.isDouble()) {
            d = v.toDouble();
        } else {
            fail(field, "expected an integer");
        }
        if (d < 0 || d > double(high) || std::floor(d) != d)
            fail(field, "expected an integer in 0.." + std::to_string(high));
        return uint64_t(d);
    }
    bool boolean(const char* field, bool fallback) {
        if (!has(field))
            return fallback;
        const JsonValue& v = object_.value(field);
        if (!v.isBool())
            fail(field, "expected true or false");
        return v.toBool();
    }
    std::string string(const char* field, const std::string& fallback) {
        if (!has(field))
            return fallback;
        const JsonValue& v = object_.value(field);
        if (!v.isString())
            fail(field, "expected a string");
        return v.toString();
    }
    std::vector<double> numbers(const char* field, int count) {
        JsonValue v = value(field);
        if (!v.isArray() || v.toArray().size() != size_t(count))
            fail(field, "expected an array of " + std::to_string(count) + " numbers");
        std::vector<double> out;
        for (const JsonValue& item : v.toArray()) {
            if (!item.isDouble())
                fail(field, "expected an array of " + std::to_string(count) + " numbers");
            out.push_back(item.toDouble());
        }
        return out;
    }
    // Four [x, z, heading] arrays.
    std::vector<BarPlacement> barPlacements(const char* field) {
        const JsonValue v = value(field);
        const char* expected = "expected four [x, z, heading] arrays";
        if (!v.isArray() || v.toArray().size() != 4)
            fail(field, expected);
        std::vector<BarPlacement> out;
        for (const JsonValue& item : v.toArray()) {
            const JsonArray numbers = item.toArray();
            if (!item.isArray() || numbers.size() != 3 || !numbers[0].isDouble() || !numbers[1].isDouble() ||
                !numbers[2].isDouble())
                fail(field, expected);
            out.push_back({numbers[0].toDouble(), numbers[1].toDouble(), numbers[2].toDouble()});
        }
        return out;
    }
    Fields object(const char* field) {
        JsonValue v = value(field);
        if (!v.isObject())
            fail(field, "expected an object");
        return Fields(v.toObject(), name(field));
    }
    // Every field of the object must have been asked for.
    void finish() const {
        for (const std::string& key : object_.keys())
            if (!known_.count(key))
                fail(key, "unknown field");
    }

private:
    JsonObject object_;
    std::string path_;
    std::set<std::string> known_;
};

// "look": "down", "up" or the camera's direction [x, y, z] in the walker's frame.
void readLook(Fields& f, TrajectorySpec& t) {
    if (!f.has("look"))
        return;
    if (t.kind == TrajectoryKind::Static || t.kind == TrajectoryKind::Spin)
        f.fail("look", "only moving paths (circle, figureEight, randomWalk) have this field; a still or "
                       "spinning tracker takes \"rotation\"");
    if (f.value("look").isString()) {
        const std::string look = f.string("look", "");
        if (look == "down")
            t.look = Vec3{{0.0, -1.0, 0.0}};
        else if (look == "up")
            t.look = Vec3{{0.0, 1.0, 0.0}};
        else
            f.fail("look", "expected \"down\", \"up\" or a direction [x, y, z]");
        return;
    }
    const std::vector<double> d = f.numbers("look", 3);
    const Vec3 direction{{d[0], d[1], d[2]}};
    if (!(KestrelMath::length(direction) > 1e-6))
        f.fail("look", "expected a non-zero direction");
    t.look = direction;
}

TrajectorySpec parseTrajectory(Fields f) {
    TrajectorySpec t;
    std::string kind = f.string("kind", "");
    if (kind == "static")
        t.kind = TrajectoryKind::Static;
    else if (kind == "circle")
        t.kind = TrajectoryKind::Circle;
    else if (kind == "figureEight")
        t.kind = TrajectoryKind::FigureEight;
    else if (kind == "randomWalk")
        t.kind = TrajectoryKind::RandomWalk;
    else if (kind == "spin")
        t.kind = TrajectoryKind::Spin;
    else
        f.fail("kind", "expected \"static\", \"circle\", \"figureEight\", \"randomWalk\" or \"spin\"");
    if (f.has("centre")) {
        auto c = f.numbers("centre", 3);
        t.centre = Vec3{{c[0], c[1], c[2]}};
    }
    if (f.has("rotation")) {
        auto q = f.numbers("rotation", 4);
        Quat r{q[0], q[1], q[2], q[3]};
        if (!(r.norm() > 1e-6))
            f.fail("rotation", "expected a non-zero quaternion x y z w");
        t.rotation = r.normalized();
    }
    t.radius = f.number("radius", t.radius, 0.0, 100.0);
    t.period = f.number("period", t.period, 0.1, 1e6);
    t.speed = f.number("speed", t.speed, 0.0, 10.0);
    t.turnRate = f.number("turnRate", t.turnRate, 0.0, 10.0);
    t.jitter = f.boolean("jitter", t.jitter);
    t.jitterPosition = f.number("jitterPosition", t.jitterPosition, 0.0, 0.1);
    t.jitterAngle = f.number("jitterAngle", t.jitterAngle, 0.0, 0.2);
    readLook(f, t);
    f.finish();
    return t;
}

void parseNoise(Fields f, ScenarioDevice& d) {
    d.optical.centroid = f.number("centroid", d.optical.centroid, 0.0, 10.0);
    d.optical.dropout = f.number("dropout", d.optical.dropout, 0.0, 1.0);
    d.optical.spurious = f.number("spurious", d.optical.spurious, 0.0, 50.0);
    d.optical.reflections = int(f.integer("reflections", uint64_t(d.optical.reflections), 64));
    d.optical.occlusion = f.number("occlusion", d.optical.occlusion, 0.0, 1.0);
    d.imu.gyroscopeNoise = f.number("gyroscope", d.imu.gyroscopeNoise, 0.0, 100.0);
    d.imu.gyroscopeBias = f.number("gyroscopeBias", d.imu.gyroscopeBias, 0.0, 100.0);
    d.imu.accelerometerNoise = f.number("accelerometer", d.imu.accelerometerNoise, 0.0, 1.0);
    d.imu.accelerometerBias = f.number("accelerometerBias", d.imu.accelerometerBias, 0.0, 1.0);
    f.finish();
}

// "covered": marker indices, or {"tile": [x, y], "marker": 0..2} objects for rigid layouts.
void readCovered(Fields& f, std::vector<CoveredMarker>& covered) {
    const auto list = f.value("covered");
    if (!list.isArray())
        f.fail("covered", "expected an array of marker indices and {\"tile\": [x, y], \"marker\": k} objects");
    int index = 0;
    for (const auto& item : list.toArray()) {
        const std::string path = f.name("covered") + "[" + std::to_string(index++) + "]";
        CoveredMarker c;
        if (item.isDouble()) {
            const double v = item.toDouble();
            if (!(v >= 0 && v <= 1e6 && std::floor(v) == v))
                throw ScenarioError(path + ": expected a marker index 0..1000000");
            c.index = int64_t(v);
        } else if (item.isObject()) {
            Fields tile(item.toObject(), path);
            if (!tile.has("tile"))
                tile.fail("tile", "missing");
            const std::vector<double> xy = tile.numbers("tile", 2);
            for (double v : xy)
                if (!(v >= 0 && v <= 65535 && std::floor(v) == v))
                    tile.fail("tile", "expected a column and a row, integers 0..65535");
            c.tileX = int64_t(xy[0]);
            c.tileY = int64_t(xy[1]);
            c.marker = int(tile.integer("marker", 0, 2));
            tile.finish();
        } else {
            throw ScenarioError(path + ": expected a marker index or an object");
        }
        covered.push_back(c);
    }
}

// "lamps": [{"position": [x, y, z], "brightness": b, "flickerHz": f}, ...].
void readLamps(Fields& f, std::vector<Lamp>& lamps) {
    const auto list = f.value("lamps");
    if (!list.isArray())
        f.fail("lamps", "expected an array of lamps");
    int index = 0;
    for (const auto& item : list.toArray()) {
        const std::string path = f.name("lamps") + "[" + std::to_string(index++) + "]";
        if (!item.isObject())
            throw ScenarioError(path + ": expected an object");
        Fields l(item.toObject(), path);
        Lamp lamp;
        if (!l.has("position"))
            l.fail("position", "missing");
        const std::vector<double> p = l.numbers("position", 3);
        lamp.position = Vec3{{p[0], p[1], p[2]}};
        lamp.brightness = l.number("brightness", lamp.brightness, 0.0, 1000.0);
        lamp.flickerHz = l.number("flickerHz", lamp.flickerHz, 0.0, 1000.0);
        l.finish();
        lamps.push_back(lamp);
    }
}

void readFaults(Fields f, DeviceFaults& faults) {
    if (f.has("covered"))
        readCovered(f, faults.covered);
    if (f.has("lamps"))
        readLamps(f, faults.lamps);
    faults.lostFrames = f.number("lostFrames", faults.lostFrames, 0.0, 1.0);
    if (f.has("inertialGaps")) {
        Fields gaps = f.object("inertialGaps");
        faults.inertialGaps.perSecond = gaps.number("perSecond", 0.0, 0.0, 100.0);
        faults.inertialGaps.samples = int(gaps.integer("samples", 0, uint64_t(imuSampleRate)));
        if (faults.inertialGaps.perSecond > 0 && faults.inertialGaps.samples == 0)
            gaps.fail("samples", "missing (samples per gap, 1..2000)");
        gaps.finish();
    }
    faults.exposureGain = f.number("exposureGain", faults.exposureGain, 0.0, 1000.0);
    f.finish();
}

// A replay path relative to the scenario's folder, made absolute.
std::string replayPath(const std::string& path, const std::string& folder) {
    if (path.empty() || folder.empty() || !std::filesystem::path(path).is_relative())
        return path;
    return (std::filesystem::path(folder) / path).string();
}

ScenarioDevice parseDevice(Fields f, const std::string& folder) {
    ScenarioDevice d;
    std::string kind = f.string("kind", "");
    if (kind == "adapter")
        d.kind = DeviceKind::Adapter;
    else if (kind == "tracker")
        d.kind = DeviceKind::Tracker;
    else
        f.fail("kind", "expected \"adapter\" or \"tracker\"");
    if (!f.has("handle"))
        f.fail("handle", "missing");
    d.handle = uint32_t(f.integer("handle", 0, 0xFFFFFFFFu));
    if (d.handle == 0)
        f.fail("handle", "0 is the host");
    d.parent = uint32_t(f.integer("parent", 0, 0xFFFFFFFFu));
    bool adapter = d.kind == DeviceKind::Adapter;
    d.vendor = uint16_t(f.integer("vendor", adapter ? adapterVendor : trackerVendor, 0xFFFF));
    d.product = uint16_t(f.integer("product", adapter ? adapterProduct : trackerProduct, 0xFFFF));
    d.plugAt = f.number("plugAt", 0.0, 0.0, 1e9);
    d.unplugAt = f.number("unplugAt", d.unplugAt, 0.0, 1e9);
    if (!(d.unplugAt > d.plugAt))
        f.fail("unplugAt", "must be later than plugAt");
    if (adapter) {
        for (const char* trackerOnly : {"environment", "barPoses", "trajectory", "frameRate", "noise", "imuDelayMs", "replay", "loop",
                                        "faults"})
            if (f.has(trackerOnly))
                f.fail(trackerOnly, "only trackers have this field");
    } else {
        d.environment = f.string("environment", defaultEnvironmentCode());
        if (f.has("barPoses"))
            d.barPoses = f.barPlacements("barPoses");
        if (f.has("trajectory"))
            d.trajectory = parseTrajectory(f.object("trajectory"));
        d.frameRate = f.number("frameRate", d.frameRate, 1.0, 1000.0);
        d.imuDelayMs = f.number("imuDelayMs", d.imuDelayMs, -1000.0, 1000.0);
        if (f.has("noise"))
            parseNoise(f.object("noise"), d);
        if (f.has("faults"))
            readFaults(f.object("faults"), d.faults);
        d.replay = replayPath(f.string("replay", ""), folder);
        d.loop = f.boolean("loop", false);
        if (d.loop && d.replay.empty())
            f.fail("loop", "only a device with \"replay\" can loop");
    }
    f.finish();
    return d;
}

} // namespace

Scenario parseScenario(const std::string& json, const std::string& folder) {
    JsonValue document;
    try {
        document = parseJson(json);
    } catch (const JsonError& e) {
        throw ScenarioError(std::string("(document): not valid JSON at ") + e.what());
    }
    if (!document.isObject())
        throw ScenarioError("(document): expected an object");
    Fields f(document.toObject(), "");
    Scenario s;
    std::string clock = f.string("clock", "realtime");
    if (clock == "realtime")
        s.clock = ClockKind::RealTime;
    else if (clock == "fast")
        s.clock = ClockKind::Fast;
    else
        f.fail("clock", "expected \"realtime\" or \"fast\"");
    s.seed = f.integer("seed", s.seed, (uint64_t(1) << 53));
    s.groundTruthCsv = f.string("groundTruthCsv", "");
    JsonValue devices = f.value("devices");
    if (!devices.isArray())
        f.fail("devices", "expected an array of devices");
    std::set<uint32_t> adapters, handles;
    int index = 0;
    for (const JsonValue& item : devices.toArray()) {
        std::string path = "devices[" + std::to_string(index++) + "]";
        if (!item.isObject())
            throw ScenarioError(path + ": expected an object");
        ScenarioDevice d = parseDevice(Fields(item.toObject(), path), folder);
        if (!handles.insert(d.handle).second)
            throw ScenarioError(path + ".handle: " + std::to_string(d.handle) + " used twice");
        // Parents come first, so the tree is built top down and has no cycles.
        if (d.parent != 0 && !adapters.count(d.parent))
            throw ScenarioError(path + ".parent: " + std::to_string(d.parent) +
                                " is not an adapter listed before this device");
        if (d.kind == DeviceKind::Adapter)
            adapters.insert(d.handle);
        s.devices.push_back(std::move(d));
    }
    f.finish();
    return s;
}

Scenario loadScenario() {
    const char* path = std::getenv("KESTREL_SIMULATION");
    if (!path || !*path)
        return defaultScenario();
    try {
        const std::filesystem::path file(path);
        std::error_code error;
        std::ifstream in(file, std::ios::binary);
        if (!in || std::filesystem::is_directory(file, error))
            throw ScenarioError("(file): cannot be read");
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad())
            throw ScenarioError("(file): cannot be read");
        const std::filesystem::path absolute = std::filesystem::absolute(file, error);
        return parseScenario(text, error ? std::string() : absolute.parent_path().string());
    } catch (const std::exception& e) {
        logLine() << "KestrelDeviceNetwork: invalid scenario " << path << ": " << e.what();
        return Scenario{};
    }
}

} // namespace Kestrel::DeviceSimulator
