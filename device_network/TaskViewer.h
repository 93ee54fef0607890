#pragma once
// Native base of every task viewer. The QML item sets `node`; when the object is complete the
// viewer starts its task on that node through the cotask factory of the concrete class and keeps
// the cotask. tick() ends the viewer once the device side has let go; requestTermination() ends
// it on the user's request. Ending releases the cotask (which ends the task in the library) and
// emits termination(), on which the QML destroys the viewer. On a node of an open recording a
// finished task is started again instead: the recording ends its tasks when it goes back in
// time (device_network/ReplaySources.h). GUI thread only.
//
// A concrete viewer:
//
//     class TaskViewer_OrbDebug_Image : public TaskViewer {
//         Q_OBJECT
//     public:
//         enum constants : int { InterfaceId0 = int(0x2AD83E54u), InterfaceId1 = ..., ... };
//         Q_ENUM(constants)
//     protected:
//         InterfaceId taskIdentifier() const override { return debugTaskId; }
//         CotaskPair createCotask(NodeHandle node) override;  // builds and wires cotask + interop
//         void onTick() override;                              // reads cotaskAs<MyCotask>()
//     };
//
// and its QML item (Ui/TaskViewer.qml as base) holds the object as `cpp`, binds cpp.node to
// node, destroys itself on onTermination and calls cpp.tick() from a 17 ms timer.

#include <QObject>
#include <QQmlParserStatus>

#include "device_network/TaskStart.h"

class TaskViewer : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int node READ node WRITE setNode)

public:
    explicit TaskViewer(QObject* parent = nullptr);
    ~TaskViewer() override;

    int node() const { return node_; }
    void setNode(int node);

    // Releases the cotask, if any, and emits termination() in every case.
    Q_INVOKABLE void requestTermination();
    // Ends the viewer when the task has finished, otherwise runs the viewer's own tick work.
    Q_INVOKABLE void tick();

    bool hasCotask() const { return bool(cotask_); }

signals:
    void termination();

protected:
    void classBegin() override {}
    // Starts the task; a failure is logged and leaves the viewer without a cotask.
    void componentComplete() override;

    // The task this viewer runs.
    virtual Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const = 0;
    // Builds and wires the cotask and interop for `node`.
    virtual Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) = 0;
    // Per-tick work of the concrete viewer, run while the task is alive.
    virtual void onTick() {}

    const Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask>& cotask() const { return cotask_; }
    // The cotask as its concrete class, or null.
    template <class T>
    T* cotaskAs() const {
        return dynamic_cast<T*>(cotask_.get());
    }

private:
    // Starts the task on the network serving the node (a recording's for its nodes).
    void startTask();

    int node_ = 0;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask> cotask_;
};
