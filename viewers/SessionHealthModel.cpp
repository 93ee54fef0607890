#include "viewers/SessionHealthModel.h"

#include <QVariantMap>
#include <QVector>
#include <QtCharts/QXYSeries>

#include <algorithm>
#include <cmath>

SessionHealthModel::SessionHealthModel(QObject* parent) : QObject(parent) {}

QStringList SessionHealthModel::plotTitles() {
    return {QStringLiteral("Optical frame rate (Hz)"), QStringLiteral("Lost optical frames (%)"),
            QStringLiteral("Points per frame"), QStringLiteral("Markers matched when in view (%)")};
}

QString SessionHealthModel::formatFigure(double value, int decimals, const char* unit) {
    QString text = QString::number(value, 'f', decimals);
    if (unit && *unit)
        text += QLatin1Char(' ') + QString::fromUtf8(unit);
    return text;
}

double SessionHealthModel::roundAxisMaximum(double value) {
    if (!(value > 1))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (value <= step * power * (1 + 1e-12))
            return step * power;
    return 10 * power;
}

namespace {

QVariantMap figure(const QString& name, const QString& value) {
    return QVariantMap{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}};
}

QString percentOf(int part, int whole) {
    return whole > 0 ? SessionHealthModel::formatFigure(100.0 * part / whole, 1, "%") : QStringLiteral("-");
}

} // namespace

void SessionHealthModel::show(const SessionHealthReport& report) {
    report_ = report;
    const SessionHealthReport& r = report_;
    sessionText_ = QStringLiteral("Session since this viewer opened: ") + formatFigure(r.seconds, 1, "s");

    figures_.clear();
    figures_ << figure(QStringLiteral("Optical frames"), QString::number(r.opticalFrames))
             << figure(QStringLiteral("Frame rate"), formatFigure(r.frameRate, 1, "Hz"))
             << figure(QStringLiteral("Frame-interval jitter"), formatFigure(r.frameIntervalJitterMs, 2, "ms"))
             << figure(QStringLiteral("Lost frames"), QString::number(r.lostFrames) + QStringLiteral(" (") +
                                                          percentOf(r.lostFrames, r.opticalFrames + r.lostFrames) +
                                                          QStringLiteral(")"))
             << figure(QStringLiteral("Points per frame"), formatFigure(r.pointsPerFrame, 1, ""))
             << figure(QStringLiteral("Saturated blobs"), QString::number(r.saturatedBlobs))
             << figure(QStringLiteral("Inertial rate"), formatFigure(r.inertialRate, 0, "Hz"))
             << figure(QStringLiteral("Inertial gaps"), QString::number(r.inertialGaps))
             << figure(QStringLiteral("Temperature"), formatFigure(r.temperature, 1, "°C"))
             << figure(QStringLiteral("Tracking lost"), QString::number(r.trackingLost) + QStringLiteral(" times"))
             << figure(QStringLiteral("Time to 6DoF"),
                       r.secondsTo6Dof < 0 ? QStringLiteral("not reached") : formatFigure(r.secondsTo6Dof, 2, "s"))
             << figure(QStringLiteral("Inertial lag"),
                       r.lagKnown ? formatFigure(r.lagMs, 1, "ms") : QStringLiteral("not measurable yet"));

    findings_.clear();
    for (const auto& f : r.findings)
        findings_ << QVariantMap{{QStringLiteral("text"), QString::fromStdString(f.text)},
                                 {QStringLiteral("evidence"), QString::fromStdString(f.evidence)},
                                 {QStringLiteral("suggestion"), QString::fromStdString(f.suggestion)}};

    markers_.clear();
    for (const auto& m : r.markers)
        markers_ << QVariantMap{{QStringLiteral("id"), m.id},
                                {QStringLiteral("x"), m.position[0]},
                                {QStringLiteral("y"), m.position[1]},
                                {QStringLiteral("z"), m.position[2]},
                                {QStringLiteral("inView"), m.framesInView},
                                {QStringLiteral("matched"), m.framesMatched},
                                {QStringLiteral("rate"), m.framesInView > 0 ? double(m.framesMatched) / m.framesInView : -1.0}};

    straySources_.clear();
    for (const auto& s : r.straySources)
        straySources_ << QVariantMap{{QStringLiteral("x"), s.position[0]},
                                     {QStringLiteral("y"), s.position[1]},
                                     {QStringLiteral("z"), s.position[2]},
                                     {QStringLiteral("frames"), s.frames},
                                     {QStringLiteral("steady"), s.steady}};
    emit changed();
}

double SessionHealthModel::timeSpan() const {
    if (report_.windows.empty())
        return 1;
    const double last = report_.windows.back().startSeconds;
    const double width = report_.windows.size() > 1 ? last - report_.windows[report_.windows.size() - 2].startSeconds : 1;
    return std::max(1.0, last + width);
}

int SessionHealthModel::heatAt(int column, int row) const {
    if (column < 0 || row < 0 || column >= report_.heatColumns || row >= report_.heatRows)
        return 0;
    const std::size_t index = std::size_t(row) * std::size_t(report_.heatColumns) + std::size_t(column);
    return index < report_.strayHeat.size() ? report_.strayHeat[index] : 0;
}

int SessionHealthModel::heatMaximum() const {
    return report_.strayHeat.empty() ? 0 : *std::max_element(report_.strayHeat.begin(), report_.strayHeat.end());
}

int SessionHealthModel::strayBlobs() const {
    int sum = 0;
    for (int count : report_.strayHeat)
        sum += count;
    return sum;
}

double SessionHealthModel::plotValue(int plot, int index) const {
    const auto& w = report_.windows.at(std::size_t(index));
    switch (plot) {
    case FrameRate: return w.frameRate;
    case LostFrames: return w.lostFramePercent;
    case PointsPerFrame: return w.pointsPerFrame;
    case MatchedMarkers: return w.matchedPercent;
    default: return 0;
    }
}

int SessionHealthModel::fillSeries(QObject* series, int plot) const {
    auto* xy = qobject_cast<QtCharts::QXYSeries*>(series);
    if (!xy || plot < 0 || plot >= PlotCount)
        return -1;
    QVector<QPointF> points;
    const auto& windows = report_.windows;
    points.reserve(int(windows.size()));
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const double end = i + 1 < windows.size() ? windows[i + 1].startSeconds : timeSpan();
        points.append(QPointF(0.5 * (windows[i].startSeconds + end), plotValue(plot, int(i))));
    }
    xy->replace(points);
    return points.size();
}

double SessionHealthModel::plotMaximum(int plot) const {
    // The match rate always on its whole range, so that a drop reads as one.
    if (plot == MatchedMarkers)
        return 100;
    double highest = 0;
    for (std::size_t i = 0; i < report_.windows.size(); ++i)
        highest = std::max(highest, plotValue(plot, int(i)));
    return roundAxisMaximum(highest);
}
