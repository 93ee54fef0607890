#pragma once
// The tests' handle on the fake device-network library loaded as "KestrelDeviceNetwork".
#include <QLibrary>
#include <QString>

#include "FakeNetworkControl.h"

class FakeNetwork {
public:
    // The folder the fake library is built into; point the loader there before the first factory.
    static QString folder() { return QStringLiteral(FAKE_KDN_FOLDER); }

    FakeNetwork() : library_(folder() + QStringLiteral("/KestrelDeviceNetwork")) {}

    int32_t calls(FakeKdnCall which, uint32_t* value = nullptr) { return get<FakeKdnCalls>("fakeKdnCalls")(which, value); }
    void failNext(int32_t which) { get<FakeKdnFailNext>("fakeKdnFailNext")(which); }
    int32_t lastFilter(uint32_t* words, int32_t capacity) {
        return get<FakeKdnLastFilter>("fakeKdnLastFilter")(words, capacity);
    }
    void plug(uint32_t node, uint32_t parent) { get<FakeKdnPlug>("fakeKdnPlug")(node, parent); }
    void unplug(uint32_t node) { get<FakeKdnUnplug>("fakeKdnUnplug")(node); }
    void support(uint32_t node, const void* id) {
        get<FakeKdnSupport>("fakeKdnSupport")(node, static_cast<const uint8_t*>(id));
    }
    void lastAsked(uint8_t* id) { get<FakeKdnLastAsked>("fakeKdnLastAsked")(id); }
    void refuseStart(bool refuse) { get<FakeKdnRefuseStart>("fakeKdnRefuseStart")(refuse); }

private:
    template <class F>
    F get(const char* name) {
        auto f = reinterpret_cast<F>(library_.resolve(name));
        if (!f)
            qFatal("fake device network: no %s (%s)", name, qPrintable(library_.errorString()));
        return f;
    }
    QLibrary library_;
};
