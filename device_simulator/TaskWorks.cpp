#include "device_simulator/TaskWorks.h"

#include <cstring>
#include <stdexcept>

#include "device_simulator/Simulation.h"
#include "device_simulator/scene/ImageStream.h"
#include "interface_contract/Exception.h"

namespace Kestrel::DeviceSimulator {

namespace {

void requireSize(uint8_t id, size_t size, size_t expected) {
    if (size != expected)
        throw std::invalid_argument("Packet " + std::to_string(id) + " needs " + std::to_string(expected) +
                                    " bytes, got " + std::to_string(size));
}

[[noreturn]] void refuse(uint8_t id) {
    throw InterfaceContract::Exception(InterfaceContract::E_NOTIMPL_CODE,
                                       "Packet " + std::to_string(id) + " is not part of this task");
}

template <class T>
T readLittleEndian(const std::string& bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

class TrackingWork final : public TaskWork {
public:
    TrackingWork(Simulation& simulation, const TrackerScene& scene, uint32_t node, double start, uint64_t seed)
        : simulation_(simulation), scene_(scene), node_(node), stream_(scene, start, seed) {}

    void check(uint8_t id, size_t size) const override {
        switch (id) {
        case 9:
        case 10: requireSize(id, size, 4); break;
        case 13: requireSize(id, size, 1); break;
        default: refuse(id);
        }
    }

    void onHostPacket(uint8_t id, const std::string& payload, double, const Send&) override {
        if (id == 9)
            stream_.setExposure(readLittleEndian<int32_t>(payload, 0));
    }

    void produceUntil(double t, const Send& send) override {
        stream_.advanceTo(t, send, [this](double time) {
            simulation_.writeGroundTruth(time, node_, scene_.poseAt(time));
        });
    }

private:
    Simulation& simulation_;
    const TrackerScene& scene_;
    uint32_t node_;
    TrackingStream stream_;
};

struct ConfigRecord {
    uint32_t type;
    uint32_t address;
    int32_t value;
};
static_assert(sizeof(ConfigRecord) == 12, "ConfigRecord is 12 bytes");

class DebugWork final : public TaskWork {
public:
    DebugWork(const TrackerScene& scene, uint64_t seed) : view_(scene, seed) {}

    void check(uint8_t id, size_t size) const override {
        switch (id) {
        case 1:
        case 2:
        case 3: requireSize(id, size, 4); break;
        case 4:
        case 5: requireSize(id, size, sizeof(ConfigRecord)); break;
        case 12:
        case 13:
        case 17: requireSize(id, size, 0); break;
        case 19: requireSize(id, size, 16); break;
        default: refuse(id);
        }
    }

    void onHostPacket(uint8_t id, const std::string& payload, double time, const Send& send) override {
        switch (id) {
        case 4: {
            auto record = readLittleEndian<ConfigRecord>(payload, 0);
            view_.setConfig(record.type, record.address, record.value);
            break;
        }
        case 5: {
            auto record = readLittleEndian<ConfigRecord>(payload, 0);
            record.value = view_.config(record.type, record.address);
            std::string reply(sizeof record, '\0');
            std::memcpy(reply.data(), &record, sizeof record);
            send({4, reply}, time);
            send({11, {}}, time);
            break;
        }
        case 12:
            for (const EncodedPacket& packet : imageStreamPackets(encodeImageStream(view_.snapshot(time).pixels)))
                send(packet, time);
            break;
        case 13:
            for (const DebugPoint& point : view_.snapshot(time).points) {
                std::string bytes(sizeof point, '\0');
                std::memcpy(bytes.data(), &point, sizeof point);
                send({10, bytes}, time);
            }
            send({11, {}}, time);
            break;
        default: break;
        }
    }

    void produceUntil(double, const Send&) override {}

private:
    DebugView view_;
};

} // namespace

std::unique_ptr<TaskWork> makeTrackingWork(Simulation& simulation, const TrackerScene& scene, uint32_t node,
                                           double start, uint64_t seed) {
    return std::make_unique<TrackingWork>(simulation, scene, node, start, seed);
}

std::unique_ptr<TaskWork> makeDebugWork(const TrackerScene& scene, uint64_t seed) {
    return std::make_unique<DebugWork>(scene, seed);
}

} // namespace Kestrel::DeviceSimulator
