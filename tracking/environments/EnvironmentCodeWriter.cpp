#include "tracking/environments/EnvironmentCodeWriter.h"

#include "interface_contract/Base64.h"
#include "interface_contract/Varint.h"

namespace Kestrel::Orb::Tracking {

using namespace Codec;

std::string environmentRecord(std::string_view kind, std::string_view payload) {
    std::string record;
    appendVarint(record, 0);
    appendString(record, kind);
    appendString(record, payload);
    return record;
}

std::string barPayload(const BarParameters& parameters) {
    std::string payload;
    appendFloat(payload, parameters.barLength);
    appendFloat(payload, parameters.middleRatio);
    return payload;
}

std::string rigidPayload(const RigidParameters& rigid) {
    std::string payload;
    const bool legacy = rigid.version == 0;
    appendVarint(payload, legacy ? 0 : 1);
    appendString(payload, legacy ? rigid.preset : rigid.name);
    appendVarint(payload, rigid.width);
    appendVarint(payload, rigid.depth);
    if (!legacy) {
        appendFloat(payload, rigid.barLength);
        appendFloat(payload, rigid.middleRatio);
        appendFloat(payload, rigid.barAngle);
        appendFloat(payload, rigid.barOffsetX);
        appendFloat(payload, rigid.barOffsetY);
        payload.push_back(rigid.ceiling ? char(1) : char(0));
        appendFloat(payload, rigid.planeHeight);
        appendFloat(payload, rigid.tileSize);
    }
    appendVarint(payload, rigid.tiles.size());
    for (const RigidTile& tile : rigid.tiles) {
        appendVarint(payload, tile.x);
        appendVarint(payload, tile.y);
        payload.push_back(char(tile.orientation));
    }
    return payload;
}

std::string encodeBarEnvironment(std::string_view kind, const BarParameters& parameters) {
    return encodeBase64(environmentRecord(kind, barPayload(parameters)));
}

std::string encodeRigidEnvironment(const RigidParameters& rigid) {
    return encodeBase64(environmentRecord("Rigid", rigidPayload(rigid)));
}

} // namespace Kestrel::Orb::Tracking
