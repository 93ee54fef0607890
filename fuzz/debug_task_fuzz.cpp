// The debug task: its packets through the interop into the cotask, and the requests that
// collect the answers (the image stream decoded into an image, the point list, a config value).
//
// Input: items. A byte 0xF0, 0xF1 or 0xF2 is a request (image, points, config); the device
// answers it with the packets that follow, up to the next request. Any other byte starts a
// packet: the id (that byte modulo 32), a length byte and that many payload bytes.

#include <chrono>
#include <vector>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/Remap.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"
#include "tracking/runtime/device_tasks/OrbDebugCotask.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb;
using namespace Kestrel::Orb::Debug;
using Kestrel::DeviceNetwork::Packet;
namespace Interop = Kestrel::DeviceNetwork::Interop;

namespace {

constexpr uint8_t requestImage = 0xF0, requestPoints = 0xF1, requestConfig = 0xF2;

bool isRequest(uint8_t tag) { return tag >= requestImage && tag <= requestConfig; }

// Delivers packets of the input to the task until the next request or the end.
void deliverPackets(FuzzInput& in, Interop::IConnection& connection) {
    while (!in.empty() && !isRequest(in.peek())) {
        const uint8_t id = in.byte() % 32;
        const std::string_view payload = in.bytes(in.byte());
        Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        connection.onPacket(&packet, 0.0);
    }
}

// The device: answers every request of the host at once, on the requesting thread.
class AnsweringDevice final : public Implements<Interop::IDataReceiver> {
public:
    AnsweringDevice(FuzzInput& in, Interop::IConnection& connection) : in_(in), connection_(connection) {}
    ResultCode KESTREL_CALL onPacket(const Packet*, double) override {
        deliverPackets(in_, connection_);
        return 0;
    }

private:
    FuzzInput& in_;
    Interop::IConnection& connection_;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    // No wait for a device that answers on the spot: an unanswered request fails at once.
    auto cotask = makeInterfaced<OrbDebugCotask, ICotask>(std::chrono::milliseconds(0));
    auto connection = wireDebugTask(*static_cast<OrbDebugCotask*>(cotask.get()));
    auto device = makeInterfaced<AnsweringDevice, Interop::IDataReceiver>(in, *connection.get());
    connection->setPeer(device.get());
    while (!in.empty()) {
        if (!isRequest(in.peek())) {
            deliverPackets(in, *connection.get());
            continue;
        }
        switch (in.byte()) {
        case requestImage: {
            void* raw = nullptr;
            if (cotask->getImage(&raw) != 0)
                break;
            auto image = Ref<IImage>::adopt(static_cast<IImage*>(raw));
            // Kept from input to input, so that only the task's own image is a fresh 300 KB.
            static std::vector<uint8_t> pixels;
            pixels.clear();
            auto pixelsOut = outArray(pixels);
            uint16_t width = 0, height = 0;
            image->getWidth(&width);
            image->getHeight(&height);
            if (image->getData(&pixelsOut) != 0 || pixels.size() != size_t(width) * height)
                __builtin_trap();
            break;
        }
        case requestPoints: {
            std::vector<DebugPoint> points;
            auto pointsOut = outArray(points);
            cotask->getPoints(&pointsOut);
            break;
        }
        default: {
            int32_t value = 0;
            cotask->getConfig(0, 0, &value);
        }
        }
    }
    return 0;
}
