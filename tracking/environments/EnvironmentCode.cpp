#include "tracking/environments/EnvironmentCode.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "interface_contract/Varint.h"
#include "tracking/environments/RigidPresets.h"

namespace Kestrel::Orb::Tracking {

using Codec::RecordReader;

namespace {

[[noreturn]] void needVersionConverter() { throw std::runtime_error("need VersionConverter implementation"); }

float finiteFloat(RecordReader& reader, const char* field) {
    const float value = reader.float32(field);
    if (!std::isfinite(value))
        throw std::runtime_error(std::string("environment code field '") + field + "' is not a finite number");
    return value;
}

// Refuses `value` of `field` outside [low, high], naming the field, the value and the limits.
void requireWithin(double value, double low, double high, const char* field, const char* unit) {
    if (value >= low && value <= high)
        return;
    std::ostringstream message;
    message << "environment code field '" << field << "' is " << value << unit << ": it must lie between " << low
            << " and " << high << unit;
    throw std::runtime_error(message.str());
}

uint32_t gridSide(RecordReader& reader, const char* field) {
    const uint64_t value = reader.varint(field);
    if (value > maximumRigidGridSide)
        throw std::runtime_error(std::string("rigid layout too large: ") + field + " " + std::to_string(value) +
                                 " tiles (at most " + std::to_string(maximumRigidGridSide) + ")");
    return uint32_t(value);
}

void readTiles(RecordReader& reader, RigidParameters& rigid) {
    const uint64_t count = reader.varint("tile count");
    // Each tile takes at least three bytes, so a count beyond that cannot be honest; reading
    // tile by tile would stop at the end anyway, this only keeps a corrupt count from reserving.
    if (count > reader.remaining() / 3)
        throw std::runtime_error("record ends early: rigid code announces " + std::to_string(count) +
                                 " tiles but has only " + std::to_string(reader.remaining()) + " bytes left");
    if (count > maximumRigidTiles)
        throw std::runtime_error("rigid layout too large: " + std::to_string(count) + " tiles (at most " +
                                 std::to_string(maximumRigidTiles) + ")");
    rigid.tiles.reserve(std::size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t x = reader.varint("tile x");
        const uint64_t y = reader.varint("tile y");
        const uint8_t orientation = reader.byte("tile orientation");
        if (x >= rigid.width || y >= rigid.depth)
            throw std::runtime_error("rigid tile " + std::to_string(i) + " at (" + std::to_string(x) + ", " +
                                     std::to_string(y) + ") lies outside the " + std::to_string(rigid.width) + " x " +
                                     std::to_string(rigid.depth) + " grid");
        rigid.tiles.push_back(RigidTile{uint32_t(x), uint32_t(y), orientation});
    }
}

void readGrid(RecordReader& reader, RigidParameters& rigid) {
    rigid.width = gridSide(reader, "width");
    rigid.depth = gridSide(reader, "depth");
    if (uint64_t(rigid.width) * rigid.depth > maximumRigidGridCells)
        throw std::runtime_error("rigid layout too large: " + std::to_string(rigid.width) + " x " +
                                 std::to_string(rigid.depth) + " tiles");
}

RigidParameters readRigid(std::string_view payload) {
    RecordReader reader(payload);
    RigidParameters rigid;
    rigid.version = reader.varint("rigid version");
    if (rigid.version == 1) {
        rigid.name = reader.string("name");
        readGrid(reader, rigid);
        rigid.barLength = finiteFloat(reader, "barLength");
        rigid.middleRatio = finiteFloat(reader, "middleRatio");
        rigid.barAngle = finiteFloat(reader, "barAngle");
        rigid.barOffsetX = finiteFloat(reader, "barOffsetX");
        rigid.barOffsetY = finiteFloat(reader, "barOffsetY");
        rigid.ceiling = reader.byte("ceiling") != 0;
        rigid.planeHeight = finiteFloat(reader, "planeHeight");
        rigid.tileSize = finiteFloat(reader, "tileSize");
        checkBuildable(rigid);
        readTiles(reader, rigid);
    } else if (rigid.version == 0) {
        rigid.preset = reader.string("preset");
        readGrid(reader, rigid);
        readTiles(reader, rigid);
        // An unknown preset leaves every number 0.
        if (const RigidPreset* preset = findRigidPreset(rigid.preset)) {
            rigid.barLength = preset->barLength;
            rigid.barAngle = preset->barAngle;
            rigid.middleRatio = preset->middleRatio;
            rigid.tileSize = preset->tileSize;
            rigid.barOffsetX = preset->barOffsetX;
            rigid.barOffsetY = preset->barOffsetY;
        }
        rigid.ceiling = false;
        rigid.planeHeight = 0;
    } else {
        needVersionConverter();
    }
    return rigid;
}

BarParameters readBar(std::string_view payload) {
    RecordReader reader(payload);
    BarParameters bar;
    bar.barLength = finiteFloat(reader, "barLength");
    bar.middleRatio = finiteFloat(reader, "middleRatio");
    checkBuildable(bar);
    return bar;
}

} // namespace

void checkBuildable(const BarParameters& bar) {
    requireWithin(bar.barLength, minimumBarOrTile, maximumBarOrTile, "barLength", " m");
    requireWithin(bar.middleRatio, minimumMiddleRatio, maximumMiddleRatio, "middleRatio", "");
}

void checkBuildable(const RigidParameters& rigid) {
    checkBuildable(BarParameters{rigid.barLength, rigid.middleRatio});
    requireWithin(rigid.tileSize, minimumBarOrTile, maximumBarOrTile, "tileSize", " m");
    requireWithin(rigid.barOffsetX, -maximumBarOrTile, maximumBarOrTile, "barOffsetX", " m");
    requireWithin(rigid.barOffsetY, -maximumBarOrTile, maximumBarOrTile, "barOffsetY", " m");
    requireWithin(rigid.planeHeight, -maximumLayoutExtent, maximumLayoutExtent, "planeHeight", " m");
    // In double: the product of the largest side and tile cannot overflow or round inward.
    requireWithin(double(std::max(rigid.width, rigid.depth)) * rigid.tileSize, 0, maximumLayoutExtent,
                  "tileSize times the longer grid side", " m");
}

EnvironmentCode readEnvironmentRecord(std::string_view bytes) {
    RecordReader reader(bytes);
    if (reader.varint("version") != 0)
        needVersionConverter();
    EnvironmentCode code;
    code.kind = reader.string("kind");
    const std::string payload = reader.string("payload");
    code.payloadSize = payload.size();
    if (code.kind == "Single" || code.kind == "Quad")
        code.bar = readBar(payload);
    else if (code.kind == "Rigid")
        code.rigid = readRigid(payload);
    return code;
}

EnvironmentCode parseEnvironmentCode(std::string_view code) { return readEnvironmentRecord(decodeBase64(code)); }

} // namespace Kestrel::Orb::Tracking
