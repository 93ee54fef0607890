// A scriptable stand-in for the device-network library: a node tree set by the test, task
// support per node, and tasks whose host connection is held until the device side is released
// or the node is unplugged.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeNetworkControl.h"
#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Export.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/ModuleRegistry.h"
#include "interface_contract/Remap.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::DeviceNetwork;

namespace {

struct Task {
    int id;
    NodeHandle node;
    Ref<Interop::IConnection> host;
};

struct State {
    std::mutex mutex;
    int32_t entryCalls = 0, settingCalls = 0, networkCalls = 0;
    uint32_t lastSetting = 0;
    bool failSetting = false, failNetwork = false, refuseStart = false;
    std::vector<uint32_t> lastFilter;
    std::vector<std::pair<NodeHandle, NodeHandle>> nodes;  // handle, parent
    std::multimap<NodeHandle, InterfaceId> support;
    InterfaceId lastAsked{};
    uint32_t updateId = 1;
    std::vector<Task> tasks;
    int nextTask = 1;
};

State& state() {
    static State* s = new State;
    return *s;
}

// Removes the tasks matching `match` and returns their host connections, to be released
// outside the lock.
template <class Match>
std::vector<Ref<Interop::IConnection>> takeTasks(Match match) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<Ref<Interop::IConnection>> hosts;
    for (auto it = s.tasks.begin(); it != s.tasks.end();) {
        if (match(*it)) {
            hosts.push_back(std::move(it->host));
            it = s.tasks.erase(it);
        } else {
            ++it;
        }
    }
    return hosts;
}

// Device side of a started task; releasing it ends the task and lets go of the host.
class DeviceSide final : public Implements<Interop::IDataReceiver> {
public:
    explicit DeviceSide(int task) : task_(task) {}
    ~DeviceSide() override {
        int task = task_;
        takeTasks([task](const Task& t) { return t.id == task; });
    }
    ResultCode KESTREL_CALL onPacket(const Packet*, double) override { return S_OK_CODE; }

private:
    int task_;
};

class FakeNetwork final : public Implements<INodeNetwork> {
public:
    ResultCode KESTREL_CALL getUpdateId(uint32_t* updateId) override {
        return guard([&] {
            std::lock_guard<std::mutex> lock(state().mutex);
            *updateId = state().updateId;
        });
    }
    ResultCode KESTREL_CALL reserved4() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL getNodes(OutArray* nodes) override {
        return guard([&] {
            std::vector<uint32_t> handles;
            {
                std::lock_guard<std::mutex> lock(state().mutex);
                for (auto& n : state().nodes)
                    handles.push_back(n.first);
            }
            writeOut(nodes, handles);
        });
    }
    ResultCode KESTREL_CALL reserved6() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL isTaskSupported(NodeHandle node, const InterfaceId* task, Boolean* supported) override {
        return guard([&] {
            State& s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            s.lastAsked = *task;
            bool found = false;
            auto range = s.support.equal_range(node);
            for (auto it = range.first; it != range.second; ++it)
                found = found || it->second == *task;
            *supported = toBoolean(found);
        });
    }
    ResultCode KESTREL_CALL getParent(NodeHandle node, NodeHandle* parent) override {
        return guard([&] {
            std::lock_guard<std::mutex> lock(state().mutex);
            *parent = 0;
            for (auto& n : state().nodes)
                if (n.first == node)
                    *parent = n.second;
        });
    }
    ResultCode KESTREL_CALL reserved9() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL startTask(NodeHandle node, const InterfaceId*, Interop::IConnection* host,
                                      void** device) override {
        Ref<Interop::IConnection> connection = Ref<Interop::IConnection>::adopt(host);
        return guard([&] {
            *device = nullptr;
            State& s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.refuseStart)
                return;
            int id = s.nextTask++;
            s.tasks.push_back(Task{id, node, std::move(connection)});
            *device = makeInterfaced<DeviceSide, Interop::IDataReceiver>(id).detach();
        });
    }
    ResultCode KESTREL_CALL reserved11() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL reserved12() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL readProperty(NodeHandle, InArray*, OutArray* value) override {
        return guard([&] { writeOut(value, std::string()); });
    }
};

class FakeLibrary final : public Implements<ILibrary> {
public:
    ResultCode KESTREL_CALL createNetwork(InArray* filter, void** network) override {
        return guard([&] {
            State& s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.networkCalls;
            auto* words = static_cast<const uint32_t*>(filter->data);
            s.lastFilter.assign(words, words + filter->count);
            if (std::exchange(s.failNetwork, false))
                throw std::runtime_error("no adapter answered");
            *network = makeInterfaced<FakeNetwork, INodeNetwork>().detach();
        });
    }
    ResultCode KESTREL_CALL reserved4() override { return E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL setSetting(uint32_t value) override {
        return guard([&] {
            State& s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.settingCalls;
            s.lastSetting = value;
            if (std::exchange(s.failSetting, false))
                throw Exception(0x80001111u, "setting refused");
        });
    }
};

const InterfaceId trackingTask = makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
const InterfaceId debugTask = makeInterfaceId("2AD83E54-9F90-4C8F-9E40-34231CB5F898");

// A starting tree from FAKE_KDN_NODES, "handle:parent[:tasks],...", tasks being letters t
// (tracking) and d (debug); used by benchmarks and screenshots.
void plugFromEnvironment(State& s) {
    const char* text = std::getenv("FAKE_KDN_NODES");
    if (!text)
        return;
    std::istringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ',')) {
        std::istringstream fields(entry);
        std::string handle, parent, tasks;
        std::getline(fields, handle, ':');
        std::getline(fields, parent, ':');
        std::getline(fields, tasks, ':');
        if (handle.empty() || parent.empty())
            continue;
        NodeHandle node = NodeHandle(std::stoul(handle));
        s.nodes.emplace_back(node, NodeHandle(std::stoul(parent)));
        if (tasks.find('t') != std::string::npos)
            s.support.emplace(node, trackingTask);
        if (tasks.find('d') != std::string::npos)
            s.support.emplace(node, debugTask);
    }
    ++s.updateId;
}

} // namespace

KESTREL_EXPORT ResultCode getLibraryInterface(ILibraryUnloader* unloader, IInterface** result) {
    return guard([&] {
        ModuleRegistry::addUnloader(unloader);
        {
            std::lock_guard<std::mutex> lock(state().mutex);
            if (++state().entryCalls == 1)
                plugFromEnvironment(state());
        }
        *result = makeInterfaced<FakeLibrary, ILibrary>().detach();
    });
}

KESTREL_EXPORT int32_t fakeKdnCalls(int32_t which, uint32_t* value) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (value)
        *value = s.lastSetting;
    switch (which) {
    case FakeEntryCalls: return s.entryCalls;
    case FakeSettingCalls: return s.settingCalls;
    case FakeNetworkCalls: return s.networkCalls;
    case FakeOpenTasks: return int32_t(s.tasks.size());
    default: return -1;
    }
}

KESTREL_EXPORT void fakeKdnFailNext(int32_t which) {
    std::lock_guard<std::mutex> lock(state().mutex);
    (which == 0 ? state().failSetting : state().failNetwork) = true;
}

KESTREL_EXPORT int32_t fakeKdnLastFilter(uint32_t* words, int32_t capacity) {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto& filter = state().lastFilter;
    std::copy_n(filter.begin(), std::min<size_t>(filter.size(), size_t(capacity)), words);
    return int32_t(filter.size());
}

KESTREL_EXPORT void fakeKdnPlug(uint32_t node, uint32_t parent) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().nodes.emplace_back(node, parent);
    ++state().updateId;
}

KESTREL_EXPORT void fakeKdnUnplug(uint32_t node) {
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        auto& nodes = state().nodes;
        nodes.erase(std::remove_if(nodes.begin(), nodes.end(), [node](auto& n) { return n.first == node; }),
                    nodes.end());
        ++state().updateId;
    }
    // Like a real network, the host's connections are let go on the library's own thread.
    std::thread([node] { takeTasks([node](const Task& t) { return t.node == node; }); }).join();
}

KESTREL_EXPORT void fakeKdnSupport(uint32_t node, const uint8_t* id) {
    InterfaceId task;
    std::memcpy(&task, id, sizeof task);
    std::lock_guard<std::mutex> lock(state().mutex);
    state().support.emplace(node, task);
}

KESTREL_EXPORT void fakeKdnLastAsked(uint8_t* id) {
    std::lock_guard<std::mutex> lock(state().mutex);
    std::memcpy(id, &state().lastAsked, sizeof(InterfaceId));
}

KESTREL_EXPORT void fakeKdnRefuseStart(int32_t refuse) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().refuseStart = refuse != 0;
}
