#include "device_network/QExReplays.h"

#include <exception>

#include <QDir>

#include "device_network/ReplaySources.h"
#include "interface_contract/DebugLog.h"

using Kestrel::DeviceNetwork::NodeHandle;
using Kestrel::DeviceNetwork::ReplaySources;

QExReplay::QExReplay(int node, QString name, QString path, QObject* parent)
    : QObject(parent), node_(node), name_(std::move(name)), path_(std::move(path)) {
    refresh();
}

Kestrel::Recording::ReplayPlayer* QExReplay::player() const {
    const ReplaySources::Replay* replay = ReplaySources::instance().find(NodeHandle(node_));
    return replay ? &replay->network->player() : nullptr;
}

QString QExReplay::positionText() const {
    auto seconds = [](double t) { return QString::number(t, 'f', 3) + " s"; };
    if (status_.frameCount > 0) {
        const QString frame = status_.frame < 0 ? QStringLiteral("before frame 0") : "frame " + QString::number(status_.frame);
        return frame + " of " + QString::number(status_.frameCount) + ", " +
               seconds(status_.frame < 0 ? status_.time : status_.frameTime);
    }
    return seconds(status_.time) + " of " + seconds(status_.duration);
}

void QExReplay::togglePlay() {
    if (auto* p = player())
        status_.playing ? p->pause() : p->play();
    refresh();
}

void QExReplay::stepForward() {
    if (auto* p = player())
        p->stepForward();
    refresh();
}

void QExReplay::stepBack() {
    if (auto* p = player())
        p->stepBack();
    refresh();
}

void QExReplay::seekFrame(int frame) {
    if (auto* p = player())
        p->seekFrame(frame);
    refresh();
}

void QExReplay::seekTime(double seconds) {
    if (auto* p = player())
        p->seekTime(seconds);
    refresh();
}

void QExReplay::setRate(double rate) {
    if (auto* p = player())
        p->setRate(rate);
    refresh();
}

void QExReplay::setLoop(bool loop) {
    if (auto* p = player())
        p->setLoop(loop);
    refresh();
}

void QExReplay::refresh() {
    if (auto* p = player())
        status_ = p->status();
    emit statusChanged();
}

QExReplays::QExReplays(QObject* parent) : QObject(parent) {}

QExReplays::~QExReplays() { ReplaySources::instance().closeAll(); }

QList<QObject*> QExReplays::replays() const {
    QList<QObject*> list;
    for (QExReplay* r : replays_)
        list << r;
    return list;
}

QUrl QExReplays::folderUrl() const {
    const QDir recordings(QDir::current().absoluteFilePath(QStringLiteral("Recordings")));
    return QUrl::fromLocalFile(recordings.exists() ? recordings.absolutePath() : QDir::current().absolutePath());
}

QVariantList QExReplays::folderEntries(const QString& folder) const {
    QVariantList entries;
    QDir dir(folder);
    auto entry = [](const QString& name, const QString& path, bool isFolder) {
        return QVariantMap{{"name", name}, {"path", path}, {"folder", isFolder}};
    };
    QDir parent(dir);
    if (parent.cdUp())
        entries << entry(QStringLiteral(".."), parent.absolutePath(), true);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        entries << entry(info.fileName(), info.absoluteFilePath(), true);
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.orbrec")}, QDir::Files, QDir::Name))
        entries << entry(info.fileName(), info.absoluteFilePath(), false);
    return entries;
}

int QExReplays::open(const QVariant& files) {
    QStringList paths;
    // The dialog passes a script array (a QVariantList), a drop its QList<QUrl>: toList() would
    // turn the latter into an empty list, so any sequence is walked by its iterable.
    QVariantList list;
    if (files.type() != QVariant::String && files.canConvert<QVariantList>()) {
        for (const QVariant& file : files.value<QSequentialIterable>())
            list << file;
    } else {
        list << files;
    }
    for (const QVariant& file : list) {
        const QUrl url = file.toUrl();
        paths << (url.isLocalFile() ? url.toLocalFile() : file.toString());
    }
    QStringList errors;
    int opened = 0;
    for (const QString& path : paths) {
        if (!path.endsWith(QStringLiteral(".orbrec"), Qt::CaseInsensitive)) {
            errors << "Not a recording (.orbrec): " + path;
            continue;
        }
        try {
            const ReplaySources::Replay& replay = ReplaySources::instance().open(path.toStdString());
            replays_ << new QExReplay(int(replay.network->trackerNode()), QString::fromStdString(replay.name), path, this);
            ++opened;
        } catch (const std::exception& e) {
            Kestrel::logLine() << "Opening a recording: " << e.what();
            errors << QString::fromUtf8(e.what());
        }
    }
    errorText_ = errors.join('\n');
    emit changed();
    return opened;
}

void QExReplays::close(int node) {
    for (int i = 0; i < replays_.size(); ++i) {
        QExReplay* replay = replays_[i];
        const ReplaySources::Replay* served = ReplaySources::instance().find(NodeHandle(replay->node()));
        if (!served || !served->network->owns(NodeHandle(node)))
            continue;
        ReplaySources::instance().close(NodeHandle(node));
        replays_.removeAt(i);
        replay->deleteLater();
        emit changed();
        return;
    }
}

bool QExReplays::isReplayNode(int node) const { return ReplaySources::instance().find(NodeHandle(node)) != nullptr; }

QObject* QExReplays::replayFor(int node) const {
    const ReplaySources::Replay* served = ReplaySources::instance().find(NodeHandle(node));
    if (!served)
        return nullptr;
    for (QExReplay* replay : replays_)
        if (served->network->owns(NodeHandle(replay->node())))
            return replay;
    return nullptr;
}
