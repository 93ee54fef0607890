#pragma once
// The QML-facing view of the device network (QML type `KdnFactory`, module orb 1.0). It has no
// state of its own: every method reads the process-wide NetworkHolder. No method throws; without
// a network the answers are neutral and getErrorMessage says why.

#include <QObject>
#include <QString>
#include <QVector>

namespace Kestrel::DeviceNetwork {
class NetworkHolder;
}

class KdnFactory : public QObject {
    Q_OBJECT
public:
    // Runs the holder's set-up; a failure is logged and leaves the holder as it was.
    explicit KdnFactory(QObject* parent = nullptr);

    // "" with a network, "KDN library not loaded" without a library, else "Factory not acquired".
    Q_INVOKABLE QString getErrorMessage() const;
    // Retries the missing set-up steps; nothing when library and network exist.
    Q_INVOKABLE void reload();
    // Whether `node` can run the task whose identifier the four parts give (little-endian each).
    Q_INVOKABLE bool isTaskSupported(int node, int interfaceIdPart0, int interfaceIdPart1, int interfaceIdPart2,
                                     int interfaceIdPart3) const;
    // The network's update id, -1 without a network; it also changes when a recording is opened
    // or closed (then it is not -1 even without a network).
    Q_INVOKABLE int getUpdateID() const;
    // All node handles in the network's order, then the nodes of the open recordings (each
    // recording's root, then its recorded node); empty without a network and recordings.
    Q_INVOKABLE QVector<int> getNodes() const;
    // What the device tree shows on a node instead of its handle: a recording's file name on
    // its root, the recorded node's handle on its node; empty for the loaded network's nodes.
    Q_INVOKABLE QString getNodeLabel(int node) const;
    // Parent handle of `node`; 0 without a network.
    Q_INVOKABLE int getParent(int node) const;

private:
    static void setUpHolder();
};
