// orbtool image: one camera image (and the detected points) of a tracker through its debug task.

#include <cstdio>
#include <fstream>

#include "Command.h"
#include "CommandOptions.h"
#include "DeviceNetworkOpening.h"
#include "GreyPng.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"

namespace OrbTool {

namespace {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;

const char helpText[] =
    "Usage: orbtool image --node N --out FILE.png [--exposure ROWS] [--threshold T] [--points]\n\n"
    "Starts the debug task on node N of the device network (the library KestrelDeviceNetwork,\n"
    "loaded like the program loads it), optionally sets the exposure and the pixel threshold,\n"
    "and saves one 640 x 480 grey camera image as PNG. With --points it also prints the points\n"
    "the tracker detects, one JSON object per line: {\"value\": V, \"x\": X, \"y\": Y}.\n"
    "A device that does not answer within 2 s fails the command.\n";

int32_t configValue(const CommandOptions& options, const char* key, unsigned long long maximum) {
    return int32_t(parseUnsigned(options.value(key), std::string("--") + key, maximum));
}

int capture(const CommandOptions& options) {
    const auto node = DeviceNetwork::NodeHandle(parseUnsigned(options.value("node"), "--node", 0xFFFFFFFFu));
    const std::string out = options.value("out");

    const auto [library, network] = openDeviceNetwork();
    Ref<Orb::Debug::ICotask> task = Orb::Debug::startDebugTask(*network.get(), node);
    if (!task)
        throw std::runtime_error("node " + std::to_string(node) + " did not start the debug task");
    if (options.has("exposure"))
        check(task.get(), task->setExposure(configValue(options, "exposure", 100000)));
    if (options.has("threshold")) {
        const Orb::ConfigRecord record{Orb::ConfigType::pixelThreshold, 0, configValue(options, "threshold", 255)};
        check(task.get(), task->setConfig(&record));
    }

    Ref<Orb::IImage> image;
    check(task.get(), task->getImage(image.out()));
    uint16_t width = 0, height = 0;
    check(image.get(), image->getWidth(&width));
    check(image.get(), image->getHeight(&height));
    std::vector<uint8_t> pixels;
    OutArray pixelsOut = outArray(pixels);
    check(image.get(), image->getData(&pixelsOut));
    const std::string png = greyPng(pixels, width, height);
    std::ofstream file(out, std::ios::binary);
    if (!file || !file.write(png.data(), std::streamsize(png.size())) || !file.flush())
        throw std::runtime_error("cannot write " + out);

    if (options.has("points")) {
        std::vector<Orb::DebugPoint> points;
        OutArray pointsOut = outArray(points);
        check(task.get(), task->getPoints(&pointsOut));
        for (const Orb::DebugPoint& p : points)
            std::printf("{\"value\": %u, \"x\": %.9g, \"y\": %.9g}\n", p.value, double(p.x), double(p.y));
    }
    return 0;
}

int runImage(const Arguments& arguments) {
    try {
        const CommandOptions options(arguments, 0, {"points"}, {"node", "out", "exposure", "threshold"});
        return capture(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool image: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"image", "save one camera image of a tracker", helpText, runImage};

} // namespace

} // namespace OrbTool
