#include "app/QExContextObject.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtGlobal>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <QDesktopServices>
#include <QUrl>
#endif

QExContextObject::QExContextObject() {
    // Handed to QML by pointer: the engine must never take it over.
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
    QQmlEngine::setObjectOwnership(&math_, QQmlEngine::CppOwnership);
}

QExMath* QExContextObject::math() {
    return &math_;
}

void QExContextObject::captureWindowToFile(QQuickWindow* window, const QString& fileName) {
    qDebug() << "captureWindowToFile" << window;
    bool saved = false;
    if (window) {
        const QImage image = window->grabWindow();
        saved = image.save(fileName);
    }
    qDebug() << saved;
}

void QExContextObject::shellExecute(const QString& file, const QString& operation) {
#ifdef _WIN32
    ShellExecuteW(nullptr, reinterpret_cast<LPCWSTR>(operation.utf16()), reinterpret_cast<LPCWSTR>(file.utf16()),
                  nullptr, nullptr, SW_SHOWDEFAULT);
#else
    // The desktop services know a single verb: every operation opens the file.
    Q_UNUSED(operation);
    const QString path = file.isEmpty() ? QDir::currentPath() : QFileInfo(file).absoluteFilePath();
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

void QExContextObject::shellExecute(const QString& file) {
    shellExecute(file, QStringLiteral("open"));
}

void QExContextObject::shellExecute() {
    shellExecute(QString(), QStringLiteral("open"));
}

QString QExContextObject::getEnvironmentVariable(const QString& name) const {
    return qEnvironmentVariable(name.toLatin1().constData());
}

QString QExContextObject::getOrbDebugPath() const {
    return qEnvironmentVariable("OrbDebugPath");
}
