// orbtool placement: writes placement codes and shows what a code holds.

#include <cstdio>

#include "Command.h"
#include "CommandOptions.h"
#include "JsonText.h"
#include "tracking/environments/PlacementCode.h"

namespace OrbTool {

namespace {

using namespace Kestrel::Orb::Tracking;

const char helpText[] =
    "Usage: orbtool placement encode --position X,Y,Z --angles A,B,C\n"
    "       orbtool placement decode CODE\n\n"
    "A placement is the pose of a point rigidly attached to the tracker: a position in metres\n"
    "and three angles in radians whose rotation is qy(B) * qx(A) * qz(C).\n"
    "encode prints the code (base64, standard alphabet, padded); decode prints JSON with\n"
    "position [x, y, z] and rotation [x, y, z, w] (7 significant digits).\n";

int encode(const Arguments& arguments) {
    const CommandOptions options(arguments, 1, {}, {"position", "angles"});
    const std::vector<float> position = parseFloatList(options.value("position"), 3, "--position");
    const std::vector<float> angles = parseFloatList(options.value("angles"), 3, "--angles");
    std::printf("%s\n", encodePlacementCode(Vec3f{{position[0], position[1], position[2]}},
                                            Vec3f{{angles[0], angles[1], angles[2]}})
                            .c_str());
    return 0;
}

int decode(const Arguments& arguments) {
    if (arguments.size() != 2)
        throw std::runtime_error("decode needs exactly one code");
    const Placement placement = decodePlacementCode(arguments[1]);
    std::printf("{\"position\": [%s, %s, %s], \"rotation\": [%s, %s, %s, %s]}\n", jsonFloat(placement.position.x()).c_str(),
                jsonFloat(placement.position.y()).c_str(), jsonFloat(placement.position.z()).c_str(),
                jsonComputed(placement.rotation.x).c_str(), jsonComputed(placement.rotation.y).c_str(),
                jsonComputed(placement.rotation.z).c_str(), jsonComputed(placement.rotation.w).c_str());
    return 0;
}

int runPlacement(const Arguments& arguments) {
    try {
        if (arguments.empty())
            throw std::runtime_error("needs encode or decode (see orbtool placement --help)");
        if (arguments[0] == "encode")
            return encode(arguments);
        if (arguments[0] == "decode")
            return decode(arguments);
        throw std::runtime_error("unknown action '" + arguments[0] + "' (encode or decode)");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool placement: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"placement", "write and decode placement codes", helpText, runPlacement};

} // namespace

} // namespace OrbTool
