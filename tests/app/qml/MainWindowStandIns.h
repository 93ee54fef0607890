#pragma once
// Stand-ins for the context properties "window" and "QEx" of the program, recording what the
// main window asks of them.
#include <QObject>
#include <QStringList>

class WindowStandIn : public QObject {
    Q_OBJECT
    Q_PROPERTY(int x MEMBER x NOTIFY xChanged)
    Q_PROPERTY(int y MEMBER y NOTIFY yChanged)
    Q_PROPERTY(int width MEMBER width NOTIFY widthChanged)
    Q_PROPERTY(int height MEMBER height NOTIFY heightChanged)
    Q_PROPERTY(QString title MEMBER title)
public:
    using QObject::QObject;
    int x = 0, y = 0, width = 1280, height = 800;
    QString title;
signals:
    void xChanged();
    void yChanged();
    void widthChanged();
    void heightChanged();
};

class QExStandIn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList captures MEMBER captures)
    Q_PROPERTY(int shellCalls MEMBER shellCalls)
public:
    using QObject::QObject;
    Q_INVOKABLE void captureWindowToFile(QObject*, const QString& fileName) { captures.append(fileName); }
    Q_INVOKABLE void shellExecute() { ++shellCalls; }
    QStringList captures;
    int shellCalls = 0;
};
