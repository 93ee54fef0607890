#include "tracking/runtime/calibration/GeometrySettings.h"

#include <stdexcept>
#include <vector>

#include "interface_contract/Varint.h"

namespace Kestrel::Orb::Tracking {

TemperatureLinearCalibration TemperatureLinearCalibration::identity() {
    TemperatureLinearCalibration calibration;
    for (int row = 0; row < 3; ++row)
        calibration.pairs[row * 4 + row][0] = 1.0f;
    return calibration;
}

namespace {

// Visits every stored value in record order, so that parsing and serializing share one layout.
template <class Settings, class Visit>
void forEachValue(Settings& s, Visit&& visit) {
    for (auto& v : s.unused)
        visit(v);
    visit(s.cx);
    visit(s.cy);
    visit(s.f);
    visit(s.k);
    for (auto& v : s.p)
        visit(v);
    for (auto& v : s.c)
        visit(v);
    visit(s.xi);
    for (auto& set : s.correction)
        for (auto& triple : set) {
            visit(triple.value);
            visit(triple.a);
            visit(triple.b);
        }
    for (auto* calibration : {&s.accelerometer, &s.gyroscope})
        for (auto& pair : calibration->pairs) {
            visit(pair[0]);
            visit(pair[1]);
        }
}

} // namespace

GeometrySettings parseGeometrySettings(std::string_view bytes) {
    Codec::RecordReader reader(bytes);
    uint64_t version = 0;
    try {
        version = reader.varint("version");
    } catch (const std::runtime_error&) {
        throw std::runtime_error("GeometrySettings: record of " + std::to_string(bytes.size()) +
                                 " bytes has no version");
    }
    if (version != GeometrySettings::formatVersion)
        throw std::runtime_error("need VersionConverter implementation");
    std::size_t needed = reader.offset() + GeometrySettings::doubleCount * 8;
    if (bytes.size() < needed)
        throw std::runtime_error("GeometrySettings: record of " + std::to_string(bytes.size()) +
                                 " bytes is too short, needs " + std::to_string(needed));
    GeometrySettings settings;
    forEachValue(settings, [&](float& v) { v = float(reader.float64("value")); });
    return settings;
}

std::string serializeGeometrySettings(const GeometrySettings& settings) {
    std::string out;
    out.reserve(2 + GeometrySettings::doubleCount * 8);
    Codec::appendVarint(out, GeometrySettings::formatVersion);
    forEachValue(settings, [&](const float& v) { Codec::appendDouble(out, double(v)); });
    return out;
}

} // namespace Kestrel::Orb::Tracking
