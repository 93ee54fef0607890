#pragma once
// A device network in the test: node properties, and a start operation that keeps the host's
// connection like the library does and answers with a recording device-side object.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/Remap.h"

namespace FakeNetworkTest {

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::DeviceNetwork;

struct SentPacket {
    uint8_t id;
    std::string payload;
};

class FakeDevice final : public Implements<Interop::IDataReceiver> {
public:
    static inline std::atomic<int> alive{0};
    FakeDevice() { ++alive; }
    ~FakeDevice() override { --alive; }

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double) override {
        return guard([&] {
            if (failSends)
                throw std::runtime_error("device refused");
            std::lock_guard<std::mutex> lock(mutex);
            sent.push_back({packet->id, std::string(static_cast<const char*>(packet->payload), packet->size)});
        });
    }
    std::vector<SentPacket> packets() {
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }
    std::atomic<bool> failSends{false};

private:
    std::mutex mutex;
    std::vector<SentPacket> sent;
};

class FakeNetwork final : public Implements<INodeNetwork> {
public:
    std::map<std::string, std::string> properties;
    bool answerStart = true;
    Ref<Interop::IConnection> host;   // the library's reference to the started task
    FakeDevice* device = nullptr;     // valid while the host holds it
    NodeHandle startedNode = 0;
    InterfaceId startedTask{};

    ResultCode KESTREL_CALL getUpdateId(uint32_t* id) override { *id = 1; return 0; }
    ResultCode KESTREL_CALL reserved4() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL getNodes(OutArray*) override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL reserved6() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL isTaskSupported(NodeHandle, const InterfaceId*, Boolean*) override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL getParent(NodeHandle, NodeHandle*) override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL reserved9() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL startTask(NodeHandle node, const InterfaceId* task, Interop::IConnection* connection,
                                      void** result) override {
        return guard([&] {
            host = Ref<Interop::IConnection>::adopt(connection);
            startedNode = node;
            startedTask = *task;
            *result = nullptr;
            if (!answerStart) {
                host.reset();
                return;
            }
            device = new FakeDevice;
            *result = static_cast<Interop::IDataReceiver*>(device);
            device->AddRef();
        });
    }
    ResultCode KESTREL_CALL reserved11() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL reserved12() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL readProperty(NodeHandle, InArray* key, OutArray* value) override {
        return guard([&] {
            auto it = properties.find(toString(key));
            if (it == properties.end())
                throw std::runtime_error("no such property");
            writeOut(value, it->second);
        });
    }

    // Delivers one packet to the started task as the library's delivery thread does.
    ResultCode deliver(uint8_t id, const std::vector<uint8_t>& payload) {
        Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        return host->onPacket(&packet, 0.0);
    }
};

} // namespace FakeNetworkTest
