#include "tracking/environments/PlacementCode.h"

#include <cmath>
#include <stdexcept>

#include "interface_contract/Base64.h"
#include "interface_contract/Varint.h"

namespace Kestrel::Orb::Tracking {

namespace {

float finiteFloat(Codec::RecordReader& reader, const char* field) {
    const float value = reader.float32(field);
    if (!std::isfinite(value))
        throw std::runtime_error(std::string("placement code field '") + field + "' is not a finite number");
    return value;
}

} // namespace

Quatf placementRotation(float a, float b, float c) {
    const Quatf qx = Quatf::fromAxisAngle(Vec3f{{1, 0, 0}}, a);
    const Quatf qy = Quatf::fromAxisAngle(Vec3f{{0, 1, 0}}, b);
    const Quatf qz = Quatf::fromAxisAngle(Vec3f{{0, 0, 1}}, c);
    return qy * qx * qz;
}

Placement decodePlacementCode(std::string_view code) {
    const std::string bytes = Codec::decodeBase64(code);
    Codec::RecordReader reader(bytes);
    if (reader.varint("placement version") != 0)
        throw std::runtime_error("need VersionConverter implementation");
    Placement placement;
    placement.position.x() = finiteFloat(reader, "position x");
    placement.position.y() = finiteFloat(reader, "position y");
    placement.position.z() = finiteFloat(reader, "position z");
    const float a = finiteFloat(reader, "angle a");
    const float b = finiteFloat(reader, "angle b");
    const float c = finiteFloat(reader, "angle c");
    placement.rotation = placementRotation(a, b, c);
    return placement;
}

std::string encodePlacementCode(const Vec3f& position, const Vec3f& angles) {
    std::string record;
    Codec::appendVarint(record, 0);
    for (float value : {position.x(), position.y(), position.z(), angles.x(), angles.y(), angles.z()})
        Codec::appendFloat(record, value);
    return Codec::encodeBase64(record);
}

} // namespace Kestrel::Orb::Tracking
