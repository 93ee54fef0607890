// orbtool env: writes environment codes and shows what a code holds.

#include <cstdio>
#include <string>

#include "Command.h"
#include "CommandOptions.h"
#include "JsonText.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/EnvironmentKinds.h"
#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/RigidPresets.h"
#ifdef ORBTOOL_SIMULATOR_SCENE
#include "device_simulator/scene/Scenario.h"
#endif

namespace OrbTool {

namespace {

using namespace Kestrel::Orb::Tracking;

const char helpText[] =
    "Usage: orbtool env encode single|quad --bar-length L --middle-ratio Q\n"
    "       orbtool env encode rigid --width W --depth D --tiles \"X,Y,O X,Y,O ...\"\n"
    "                   (--preset NAME\n"
    "                    | --bar-length L --middle-ratio Q --bar-angle A --bar-offset X,Y --tile-size S\n"
    "                      [--ceiling] [--plane-height H] [--name N])\n"
    "       orbtool env decode CODE\n"
    "       orbtool env default\n\n"
    "encode prints the environment code (base64, standard alphabet, padded). A rigid code\n"
    "with --preset is written in the legacy form (version 0) that names one of the presets\n"
    "puzzle, puzzle58, yellow, ceiling, custom2x, custom3x; otherwise every number is written\n"
    "(version 1). Tiles are column X (along x), row Y (along z) and orientation O (quarter\n"
    "turns, 0 to 3), separated by spaces.\n\n"
    "decode prints one JSON object: kind, the code's parameters and, for the kinds this build\n"
    "can construct, markers as [x, y, z] in environment coordinates (metres, y up, 7\n"
    "significant digits). Lengths in metres, angles in radians.\n\n"
    "default prints the code of the tile floor that the simulated network's trackers see\n"
    "unless their scenario names another environment.\n";

std::vector<RigidTile> parseTiles(const std::string& text) {
    std::vector<RigidTile> tiles;
    std::size_t start = 0;
    while (start < text.size()) {
        if (text[start] == ' ') {
            ++start;
            continue;
        }
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string tile = text.substr(start, end - start);
        const std::vector<std::string> parts = splitText(tile, ',');
        if (parts.size() != 3)
            throw std::runtime_error("--tiles: '" + tile + "' is not X,Y,O");
        tiles.push_back(RigidTile{uint32_t(parseUnsigned(parts[0], "--tiles column", maximumRigidGridSide)),
                                  uint32_t(parseUnsigned(parts[1], "--tiles row", maximumRigidGridSide)),
                                  uint8_t(parseUnsigned(parts[2], "--tiles orientation", 3))});
        start = end;
    }
    return tiles;
}

std::string encodeRigid(const CommandOptions& options) {
    RigidParameters rigid;
    rigid.width = uint32_t(parseUnsigned(options.value("width"), "--width", maximumRigidGridSide));
    rigid.depth = uint32_t(parseUnsigned(options.value("depth"), "--depth", maximumRigidGridSide));
    rigid.tiles = parseTiles(options.value("tiles"));
    if (options.has("preset")) {
        options.refuse({"bar-length", "middle-ratio", "bar-angle", "bar-offset", "tile-size", "ceiling", "plane-height", "name"},
                       "does not go with --preset (a preset code carries only the preset's name)");
        rigid.version = 0;
        rigid.preset = options.value("preset");
        if (!findRigidPreset(rigid.preset))
            throw std::runtime_error("unknown preset '" + rigid.preset +
                                     "' (known: puzzle, puzzle58, yellow, ceiling, custom2x, custom3x)");
    } else {
        rigid.version = 1;
        rigid.barLength = parseFloat(options.value("bar-length"), "--bar-length");
        rigid.middleRatio = parseFloat(options.value("middle-ratio"), "--middle-ratio");
        rigid.barAngle = parseFloat(options.value("bar-angle"), "--bar-angle");
        const std::vector<float> offset = parseFloatList(options.value("bar-offset"), 2, "--bar-offset");
        rigid.barOffsetX = offset[0];
        rigid.barOffsetY = offset[1];
        rigid.tileSize = parseFloat(options.value("tile-size"), "--tile-size");
        rigid.ceiling = options.has("ceiling");
        rigid.planeHeight = options.has("plane-height") ? parseFloat(options.value("plane-height"), "--plane-height") : 0.0f;
        rigid.name = options.has("name") ? options.value("name") : std::string();
    }
    const std::string code = encodeRigidEnvironment(rigid);
    parseEnvironmentCode(code);  // the reader's limits (tiles inside the grid, grid size) apply to what we write
    return code;
}

int encode(const Arguments& arguments) {
    if (arguments.size() < 2)
        throw std::runtime_error("encode needs a kind: single, quad or rigid");
    const std::string& kind = arguments[1];
    if (kind == "single" || kind == "quad") {
        const CommandOptions options(arguments, 2, {}, {"bar-length", "middle-ratio"});
        const BarParameters bar{parseFloat(options.value("bar-length"), "--bar-length"),
                                parseFloat(options.value("middle-ratio"), "--middle-ratio")};
        std::printf("%s\n", encodeBarEnvironment(kind == "single" ? "Single" : "Quad", bar).c_str());
        return 0;
    }
    if (kind == "rigid") {
        const CommandOptions options(arguments, 2, {"ceiling"},
                                     {"width", "depth", "tiles", "preset", "bar-length", "middle-ratio", "bar-angle",
                                      "bar-offset", "tile-size", "plane-height", "name"});
        std::printf("%s\n", encodeRigid(options).c_str());
        return 0;
    }
    throw std::runtime_error("unknown kind '" + kind + "' (single, quad or rigid)");
}

std::string rigidJson(const RigidParameters& rigid) {
    std::string json = ", \"version\": " + std::to_string(rigid.version);
    json += rigid.version == 0 ? ", \"preset\": " + jsonString(rigid.preset) : ", \"name\": " + jsonString(rigid.name);
    json += ", \"width\": " + std::to_string(rigid.width) + ", \"depth\": " + std::to_string(rigid.depth);
    json += ", \"barLength\": " + jsonFloat(rigid.barLength) + ", \"middleRatio\": " + jsonFloat(rigid.middleRatio);
    json += ", \"barAngle\": " + jsonFloat(rigid.barAngle);
    json += ", \"barOffset\": [" + jsonFloat(rigid.barOffsetX) + ", " + jsonFloat(rigid.barOffsetY) + "]";
    json += std::string(", \"ceiling\": ") + (rigid.ceiling ? "true" : "false");
    json += ", \"planeHeight\": " + jsonFloat(rigid.planeHeight) + ", \"tileSize\": " + jsonFloat(rigid.tileSize);
    json += ", \"tiles\": [";
    for (std::size_t i = 0; i < rigid.tiles.size(); ++i)
        json += (i ? ", [" : "[") + std::to_string(rigid.tiles[i].x) + ", " + std::to_string(rigid.tiles[i].y) + ", " +
                std::to_string(rigid.tiles[i].orientation) + "]";
    return json + "]";
}

int decode(const Arguments& arguments) {
    if (arguments.size() != 2)
        throw std::runtime_error("decode needs exactly one code");
    const EnvironmentCode code = parseEnvironmentCode(arguments[1]);
    std::string json = "{\"kind\": " + jsonString(code.kind);
    if (code.bar)
        json += ", \"barLength\": " + jsonFloat(code.bar->barLength) + ", \"middleRatio\": " + jsonFloat(code.bar->middleRatio);
    else if (code.rigid)
        json += rigidJson(*code.rigid);
    else
        json += ", \"payloadSize\": " + std::to_string(code.payloadSize);

    try {
        const Kestrel::InterfaceContract::Ref<IEnvironment> environment = createEnvironment(code);
        if (OrbEnvironment* native = nativeEnvironment(environment.get())) {
            // A self-refining layout is printed as it stands before anything was learned.
            if (native->isAdaptive())
                json += ", \"adaptive\": true, \"revision\": " + std::to_string(native->revision());
            json += ", \"markers\": [";
            const std::vector<Vec3f> markers = native->markerPositions();
            for (std::size_t i = 0; i < markers.size(); ++i)
                json += (i ? ", [" : "[") + jsonComputed(markers[i].x()) + ", " + jsonComputed(markers[i].y()) + ", " +
                        jsonComputed(markers[i].z()) + "]";
            json += "]";
        } else {
            std::fprintf(stderr, "orbtool env: unknown environment kind %s: the program builds no environment from it\n",
                         jsonString(code.kind).c_str());
        }
    } catch (const EnvironmentKindNotAvailable& e) {
        std::fprintf(stderr, "orbtool env: %s, so no markers are shown\n", e.what());
    }
    std::printf("%s}\n", json.c_str());
    return 0;
}

int printDefault(const Arguments& arguments) {
    if (arguments.size() != 1)
        throw std::runtime_error("default takes no arguments");
#ifdef ORBTOOL_SIMULATOR_SCENE
    std::printf("%s\n", Kestrel::DeviceSimulator::defaultEnvironmentCode().c_str());
    return 0;
#else
    throw std::runtime_error("this build has no simulator, so no default environment");
#endif
}

int runEnv(const Arguments& arguments) {
    try {
        if (arguments.empty())
            throw std::runtime_error("needs encode, decode or default (see orbtool env --help)");
        if (arguments[0] == "encode")
            return encode(arguments);
        if (arguments[0] == "decode")
            return decode(arguments);
        if (arguments[0] == "default")
            return printDefault(arguments);
        throw std::runtime_error("unknown action '" + arguments[0] + "' (encode, decode or default)");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool env: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"env", "write and decode environment codes", helpText, runEnv};

} // namespace

} // namespace OrbTool
