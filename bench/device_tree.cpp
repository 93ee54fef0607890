// The main window's device tree: reload() of a network of 100 trackers and one poll that finds
// no change. Both must stay well under 5 ms. Runs against the simulated network (4 adapters
// with 25 trackers each, 104 nodes) when it is built, else against the tests' fake network
// (4 adapters with 24 trackers each, 100 nodes).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QFile>
#include <QVariant>
#include <QtQml>

#include "device_network/KdnFactory.h"
#include "interface_contract/ProgramDirectory.h"

namespace {

QObject* treeViewer = nullptr;

#ifdef ORB_BIN_DIR
// The simulator's scenario: a fast clock that nobody advances, so only the tree is simulated.
QByteArray hundredTrackersScenario() {
    QStringList devices;
    int handle = 1;
    for (int adapter = 0; adapter < 4; ++adapter) {
        const int adapterHandle = handle++;
        devices << QStringLiteral(R"({"handle": %1, "kind": "adapter"})").arg(adapterHandle);
        for (int tracker = 0; tracker < 25; ++tracker)
            devices << QStringLiteral(R"({"handle": %1, "parent": %2, "kind": "tracker", "trajectory": {"kind": "static"}})")
                           .arg(handle++)
                           .arg(adapterHandle);
    }
    return QStringLiteral(R"({"clock": "fast", "devices": [%1]})").arg(devices.join(',')).toUtf8();
}

#else
QByteArray hundredNodes() {
    QStringList entries;
    int handle = 1;
    for (int adapter = 0; adapter < 4; ++adapter) {
        const int adapterHandle = handle++;
        entries << QStringLiteral("%1:0").arg(adapterHandle);
        for (int tracker = 0; tracker < 24; ++tracker)
            entries << QStringLiteral("%1:%2:td").arg(handle++).arg(adapterHandle);
    }
    return entries.join(',').toUtf8();
}
#endif

void call(const char* method) {
    QMetaObject::invokeMethod(treeViewer, method);
}

void BM_Reload100Nodes(benchmark::State& state) {
    for (auto _ : state) {
        call("reload");
        state.PauseTiming();
        // The replaced node items are deleted later; do it outside the measurement.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["records"] = treeViewer->property("records").toList().size();
    state.counters["nodeItems"] = treeViewer->property("nodeItems").value<QObject*>()->property("count").toInt();
}
BENCHMARK(BM_Reload100Nodes)->Unit(benchmark::kMillisecond);

void BM_PollWithoutChange(benchmark::State& state) {
    call("poll");
    for (auto _ : state)
        call("poll");
}
BENCHMARK(BM_PollWithoutChange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    int expectedRecords = 101;
#ifdef ORB_BIN_DIR
    const QString scenario = folder.filePath(QStringLiteral("hundred_trackers.json"));
    QFile file(scenario);
    if (!file.open(QIODevice::WriteOnly) || file.write(hundredTrackersScenario()) < 0)
        qFatal("cannot write %s", qPrintable(scenario));
    file.close();
    qputenv("KESTREL_SIMULATION", scenario.toLocal8Bit());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(ORB_BIN_DIR));
    expectedRecords = 105;
#else
    qputenv("FAKE_KDN_NODES", hundredNodes());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(FAKE_KDN_FOLDER));
#endif
    qmlRegisterType<KdnFactory>("orb", 1, 0, "KdnFactory");
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick 2.15
        import orb 1.0
        import "qrc:/Ui"
        import "qrc:/Ui/ViewerTable.js" as ViewerTable
        Item {
            width: 800; height: 800
            property alias tree: tree
            KdnFactory { id: factory }
            KdnViewer {
                id: tree
                anchors.fill: parent
                factory: factory
                taskViewers: ViewerTable.taskViewers(IconFont.icons, function () { return undefined; })
            }
        })", QUrl(QStringLiteral("qrc:/bench.qml")));
    QObject* root = component.create();
    if (!root)
        qFatal("%s", qPrintable(component.errorString()));
    treeViewer = root->property("tree").value<QObject*>();
    if (treeViewer->property("records").toList().size() != expectedRecords)
        qFatal("the tree shows %d records, not %d", treeViewer->property("records").toList().size(), expectedRecords);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete root;
    return 0;
}
