#pragma once
// The object behind the QML context property "QEx": screenshots, opening files and folders
// with the desktop, environment variables, and the math helper QEx.math.

#include <QObject>
#include <QString>

#include "app/QExMath.h"

class QQuickWindow;

class QExContextObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QExMath* math READ math CONSTANT)
public:
    QExContextObject();

    QExMath* math();

    // Grabs the window's contents and saves them to `fileName` (format from the extension).
    // Progress and the save result (true/false) go to the toolkit's debug output; a null
    // window is reported there as a failed save.
    Q_INVOKABLE void captureWindowToFile(QQuickWindow* window, const QString& fileName);

    // Asks the desktop to perform `operation` on `file`. An empty file means the working
    // directory, which is the data folder. Relative files resolve against it.
    Q_INVOKABLE void shellExecute(const QString& file, const QString& operation);
    Q_INVOKABLE void shellExecute(const QString& file);
    Q_INVOKABLE void shellExecute();

    // Value of the process environment variable `name` (a Latin-1 name); empty when missing.
    Q_INVOKABLE QString getEnvironmentVariable(const QString& name) const;
    // Value of "OrbDebugPath", empty when missing.
    Q_INVOKABLE QString getOrbDebugPath() const;

private:
    QExMath math_;
};
