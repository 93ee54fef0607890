#pragma once
// The record button's object (QML type `QExRecorder`, module orb 1.0): records every running
// task of the device network into the data folder's "Recordings" folder, one .orbrec file per
// task, from one toggle() to the next. Creating it installs the recording tap on task starts,
// so it must exist before the first task starts (the main window creates it with itself).
// Methods do not throw; a failure shows in statusText.

#include <QObject>
#include <QString>
#include <QStringList>

class QExRecorder : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool recording READ recording NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText NOTIFY changed)
    Q_PROPERTY(QStringList files READ files NOTIFY changed)
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY changed)

public:
    explicit QExRecorder(QObject* parent = nullptr);
    ~QExRecorder() override;

    bool recording() const { return recording_; }
    // "Recording N tasks into FOLDER", "Recorded N files into FOLDER" (singular for one), or the error.
    QString statusText() const { return statusText_; }
    // The files of the running or the last recording.
    QStringList files() const { return files_; }
    // Where recordings go; "Recordings" (relative to the working directory, the data folder).
    QString folder() const { return folder_; }
    void setFolder(const QString& folder);

    // Starts a recording when none runs, else ends it.
    Q_INVOKABLE void toggle();

signals:
    void changed();

private:
    void start();
    void stop();

    bool recording_ = false;
    QString statusText_;
    QStringList files_;
    QString folder_ = QStringLiteral("Recordings");
};
