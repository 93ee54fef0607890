#pragma once
// The recordings open in the window (QML type `QExReplays`, module orb 1.0): opens .orbrec files
// (the open button's dialog, files dropped on the window) and offers one transport object per
// open recording. The transports read their replay's clock when refresh() is called (the
// window's 100 ms timer), since the clock moves on its own thread. Methods do not throw; a file
// that cannot be opened shows in errorText.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include "recording/ReplayPlayer.h"

// The transport of one open recording.
class QExReplay : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(QString path READ path CONSTANT)
    Q_PROPERTY(int node READ node CONSTANT)
    Q_PROPERTY(bool playing READ playing NOTIFY statusChanged)
    Q_PROPERTY(double rate READ rate NOTIFY statusChanged)
    Q_PROPERTY(bool loop READ loop NOTIFY statusChanged)
    Q_PROPERTY(bool seeking READ seeking NOTIFY statusChanged)
    Q_PROPERTY(double progress READ progress NOTIFY statusChanged)
    Q_PROPERTY(int frame READ frame NOTIFY statusChanged)
    Q_PROPERTY(int frameCount READ frameCount NOTIFY statusChanged)
    Q_PROPERTY(double frameTime READ frameTime NOTIFY statusChanged)
    Q_PROPERTY(double time READ time NOTIFY statusChanged)
    Q_PROPERTY(double duration READ duration NOTIFY statusChanged)
    Q_PROPERTY(QString positionText READ positionText NOTIFY statusChanged)

public:
    QExReplay(int node, QString name, QString path, QObject* parent);

    QString name() const { return name_; }
    QString path() const { return path_; }
    int node() const { return node_; }
    bool playing() const { return status_.playing; }
    double rate() const { return status_.rate; }
    bool loop() const { return status_.loop; }
    bool seeking() const { return status_.seeking; }
    double progress() const { return status_.progress; }
    int frame() const { return int(status_.frame); }
    int frameCount() const { return int(status_.frameCount); }
    double frameTime() const { return status_.frameTime; }
    double time() const { return status_.time; }
    double duration() const { return status_.duration; }
    // "frame N of M, T s" (for a recording with optical frames), else "T s of D s".
    QString positionText() const;

    Q_INVOKABLE void togglePlay();
    Q_INVOKABLE void stepForward();
    Q_INVOKABLE void stepBack();
    Q_INVOKABLE void seekFrame(int frame);
    Q_INVOKABLE void seekTime(double seconds);
    // 0 plays as fast as possible.
    Q_INVOKABLE void setRate(double rate);
    Q_INVOKABLE void setLoop(bool loop);
    Q_INVOKABLE void refresh();

signals:
    void statusChanged();

private:
    Kestrel::Recording::ReplayPlayer* player() const;

    int node_;
    QString name_, path_;
    Kestrel::Recording::ReplayPlayer::Status status_;
};

class QExReplays : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<QObject*> replays READ replays NOTIFY changed)
    Q_PROPERTY(QString errorText READ errorText NOTIFY changed)
    Q_PROPERTY(QUrl folderUrl READ folderUrl CONSTANT)

public:
    explicit QExReplays(QObject* parent = nullptr);
    ~QExReplays() override;

    QList<QObject*> replays() const;
    QString errorText() const { return errorText_; }
    // The data folder's "Recordings" (the working directory is the data folder), or the data
    // folder itself while it has no "Recordings".
    QUrl folderUrl() const;

    // Opens every file of `files` (URLs or paths, one or a list); files not ending in .orbrec
    // are refused. Returns the number opened; the refusals go to errorText.
    Q_INVOKABLE int open(const QVariant& files);
    // Closes the recording serving `node` (its root or its recorded node).
    Q_INVOKABLE void close(int node);
    // The open dialog's listing of `folder`: its sub-folders, then its .orbrec files, each
    // {name, path, folder}, by name; the first entry is the parent folder ("..") when there is one.
    Q_INVOKABLE QVariantList folderEntries(const QString& folder) const;
    // Whether `node` belongs to an open recording.
    Q_INVOKABLE bool isReplayNode(int node) const;
    // The transport of the recording serving `node`, or null.
    Q_INVOKABLE QObject* replayFor(int node) const;

signals:
    void changed();

private:
    QList<QExReplay*> replays_;
    QString errorText_;
};
