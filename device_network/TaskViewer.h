#pragma once
// Native base of every task viewer. The QML item sets `node`; when the object is complete the
// viewer starts its task on that node through the cotask factory of the concrete class and keeps
// the cotask. tick() ends the viewer once the device side has let go; requestTermination() ends
// it on the user's request. Ending releases the cotask (which ends the task in the library) and
// emits termination(), on which the QML destroys the viewer. GUI thread only.

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
    int node_ = 0;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask> cotask_;
};
