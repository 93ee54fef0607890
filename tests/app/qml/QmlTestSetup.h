#pragma once
// Set-up of the QML tests: the program's QML types in module orb, the fake device network as
// the loaded library, and the context properties the main window uses.
#include <QObject>
#include <QQmlEngine>

class QmlTestSetup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable();
    void qmlEngineAvailable(QQmlEngine* engine);
};
