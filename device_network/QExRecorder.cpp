#include "device_network/QExRecorder.h"

#include <QDateTime>
#include <QDir>

#include "recording/NetworkRecorder.h"

using Kestrel::Recording::NetworkRecorder;

namespace {
QString count(int n, const char* thing) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(thing)).arg(n == 1 ? QString() : QStringLiteral("s"));
}

QStringList toStringList(const std::vector<std::string>& paths) {
    QStringList list;
    for (const std::string& path : paths)
        list << QString::fromStdString(path);
    return list;
}
} // namespace

QExRecorder::QExRecorder(QObject* parent) : QObject(parent) { NetworkRecorder::instance().install(); }

QExRecorder::~QExRecorder() {
    if (recording_)
        NetworkRecorder::instance().stop();
}

void QExRecorder::setFolder(const QString& folder) {
    if (folder == folder_)
        return;
    folder_ = folder;
    emit changed();
}

void QExRecorder::toggle() {
    if (recording_)
        stop();
    else
        start();
    emit changed();
}

void QExRecorder::start() {
    const QString folder = QDir(folder_).absolutePath();
    if (!QDir().mkpath(folder)) {
        statusText_ = QStringLiteral("Cannot create the folder %1").arg(folder);
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
    try {
        files_ = toStringList(NetworkRecorder::instance().start(folder.toStdString(), stamp.toStdString()));
    } catch (const std::exception& e) {
        statusText_ = QString::fromStdString(e.what());
        return;
    }
    recording_ = true;
    statusText_ = QStringLiteral("Recording %1 into %2").arg(count(files_.size(), "task"), folder);
}

void QExRecorder::stop() {
    files_ = toStringList(NetworkRecorder::instance().stop());
    recording_ = false;
    statusText_ = QStringLiteral("Recorded %1 into %2").arg(count(files_.size(), "file"), QDir(folder_).absolutePath());
    const size_t failed = NetworkRecorder::instance().failedFiles().size();
    if (failed)
        statusText_ += QStringLiteral("; %1 could not be written (see the log)").arg(failed);
}
