// The main window's device tree: reload() of a network of 100 nodes (4 adapters with 24
// trackers each) and one poll that finds no change. Both must stay well under 5 ms.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QVariant>
#include <QtQml>

#include "device_network/KdnFactory.h"
#include "interface_contract/ProgramDirectory.h"

namespace {

QObject* treeViewer = nullptr;

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
    qputenv("FAKE_KDN_NODES", hundredNodes());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(FAKE_KDN_FOLDER));
    QGuiApplication app(argc, argv);
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
    if (treeViewer->property("records").toList().size() != 101)
        qFatal("the tree shows %d records, not 101", treeViewer->property("records").toList().size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete root;
    return 0;
}
