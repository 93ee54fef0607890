#include "QmlTestSetup.h"

#include <QQmlContext>
#include <QTemporaryDir>
#include <QtQml>

#include "FakeNetworkObject.h"
#include "MainWindowStandIns.h"
#include "TestTaskViewer.h"
#include "device_network/KdnFactory.h"
#include "device_network/QExRecorder.h"
#include "device_network/QExReplays.h"
#include "interface_contract/ProgramDirectory.h"

void FakeNetworkObject::support(int node, int kind) {
    static const uint8_t tracking[16] = {0x30, 0x7D, 0xC0, 0xA6, 0xCF, 0xE3, 0xED, 0x44,
                                         0xB9, 0x96, 0x5F, 0x96, 0x99, 0x83, 0x92, 0xE2};
    static const uint8_t debug[16] = {0x54, 0x3E, 0xD8, 0x2A, 0x90, 0x9F, 0x8F, 0x4C,
                                      0x9E, 0x40, 0x34, 0x23, 0x1C, 0xB5, 0xF8, 0x98};
    fake_.support(uint32_t(node), kind == 0 ? tracking : debug);
}

void QmlTestSetup::applicationAvailable() {
    // The window settings go to a fresh folder, so every run starts as a first start.
    static QTemporaryDir configFolder;
    qputenv("XDG_CONFIG_HOME", configFolder.path().toLocal8Bit());
    Kestrel::InterfaceContract::setLibraryFolder(FakeNetwork::folder());
    QCoreApplication::setOrganizationName(QStringLiteral("KestrelTest"));
    QCoreApplication::setApplicationName(QStringLiteral("OrbDebugQmlTest"));
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine* engine) {
    qmlRegisterType<KdnFactory>("orb", 1, 0, "KdnFactory");
    qmlRegisterType<TestTaskViewer>("orb", 1, 0, "TestTaskViewer_cpp");
    qmlRegisterType<QExRecorder>("orb", 1, 0, "QExRecorder");
    qmlRegisterType<QExReplays>("orb", 1, 0, "QExReplays");
    qmlRegisterUncreatableType<QExReplay>("orb", 1, 0, "QExReplay", "made by QExReplays");
    engine->addImportPath(QStringLiteral("qrc:/"));
    QQmlContext* context = engine->rootContext();
    context->setContextProperty(QStringLiteral("fakeNetwork"), new FakeNetworkObject(engine));
    context->setContextProperty(QStringLiteral("window"), new WindowStandIn(engine));
    context->setContextProperty(QStringLiteral("QEx"), new QExStandIn(engine));
    static QTemporaryDir recordingsFolder;
    context->setContextProperty(QStringLiteral("testRecordingsFolder"), recordingsFolder.path());
}
