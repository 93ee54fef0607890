#pragma once
// The fake device network, driven from QML tests.
#include <QObject>

#include "FakeNetwork.h"

class FakeNetworkObject : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void plug(int node, int parent) { fake_.plug(uint32_t(node), uint32_t(parent)); }
    Q_INVOKABLE void unplug(int node) { fake_.unplug(uint32_t(node)); }
    // Lets `node` run the tracking task (kind 0) or the debug task (kind 1).
    Q_INVOKABLE void support(int node, int kind);
    Q_INVOKABLE int openTasks() { return fake_.calls(FakeOpenTasks); }

private:
    FakeNetwork fake_;
};
