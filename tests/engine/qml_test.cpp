// Qt Quick Test runner for the engine's QML components (tests in qml/).
#include "engine/Registration.h"

#include <QObject>
#include <QQmlEngine>
#include <QtQuickTest>

class EngineQmlSetup : public QObject {
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine*) { KestrelQt3DEngine::registerTypes(); }
};

QUICK_TEST_MAIN_WITH_SETUP(engine_qml, EngineQmlSetup)
#include "qml_test.moc"
