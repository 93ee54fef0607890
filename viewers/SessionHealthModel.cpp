#include "viewers/SessionHealthModel.h"

#include <QVariantMap>
#include <QVector>
#include <QtCharts/QXYSeries>

#include <algorithm>
#include <cmath>

using namespace Kestrel::Orb::Tracking::Health;

SessionHealthModel::SessionHealthModel(QObject* parent) : QObject(parent) {}

QStringList SessionHealthModel::plotTitles() {
    return {QStringLiteral("Optical frame rate (Hz)"), QStringLiteral("Lost optical frames (%)"),
            QStringLiteral("Points per frame"), QStringLiteral("Matched rays per frame"),
            QStringLiteral("Optimiser quality")};
}

QString SessionHealthModel::formatFigure(double value, int decimals, const char* unit) {
    QString text = QString::number(value, 'f', decimals);
    // A small negative value rounds to "-0.0": a figure of nothing has no sign.
    if (text.toDouble() == 0)
        text = QString::number(0.0, 'f', decimals);
    if (unit && *unit)
        text += QLatin1Char(' ') + QString::fromUtf8(unit);
    return text;
}

double SessionHealthModel::roundAxisMaximum(double value) {
    if (!(value > 0) || !std::isfinite(value))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0})
        if (value <= step * power * (1 + 1e-12))
            return step * power;
    return 10 * power;
}

double SessionHealthModel::markerRate(const MarkerFigures& marker) {
    return marker.framesInView > 0 ? double(marker.framesMatched) / double(marker.framesInView) : -1.0;
}

Point3 SessionHealthModel::sourcePosition(const StraySource& source) {
    return source.triangulated ? source.triangulatedPosition : source.position;
}

namespace {

QString countAndShare(int64_t count, double share) {
    return QString::number(count) + QStringLiteral(" (") + SessionHealthModel::formatFigure(100 * share, 1, "%") +
           QStringLiteral(")");
}

} // namespace

void SessionHealthModel::show(const SessionHealthReport& report) {
    const bool plotsDiffer = report.windows.size() != report_.windows.size() ||
                             (!report.windows.empty() && report.windows.back().start != report_.windows.back().start);
    report_ = report;
    const HealthReport& r = report_;
    sessionText_ = QStringLiteral("session since this viewer opened: ") + formatFigure(r.seconds, 1, "s");

    const OpticalFigures& o = r.optical;
    const InertialFigures& i = r.inertial;
    const PipelineFigures& p = r.pipeline;
    QStringList names, values;
    auto figure = [&](const QString& name, const QString& value) {
        names << name;
        values << value;
    };
    figure(QStringLiteral("Optical frames"), QString::number(o.frames));
    figure(QStringLiteral("Frame rate"), formatFigure(o.frameRate, 1, "Hz"));
    figure(QStringLiteral("Frame-interval jitter"), formatFigure(o.intervalJitterMs, 2, "ms"));
    figure(QStringLiteral("Lost frames"), countAndShare(o.lostFrames, o.lostShare));
    figure(QStringLiteral("Invalid stream sequences"), QString::number(o.invalidSequences));
    figure(QStringLiteral("Points per frame"), formatFigure(o.pointsPerFrame, 1, ""));
    figure(QStringLiteral("Mean blob value"), formatFigure(o.meanBlobValue, 0, ""));
    figure(QStringLiteral("Saturated blobs"), countAndShare(o.saturatedBlobs, o.saturatedShare));
    figure(QStringLiteral("Gyroscope rate"), formatFigure(i.gyroscopeRate, 0, "Hz"));
    figure(QStringLiteral("Accelerometer rate"), formatFigure(i.accelerometerRate, 0, "Hz"));
    figure(QStringLiteral("Inertial gaps"), QString::number(i.gaps) + QStringLiteral(", longest ") +
                                                            formatFigure(i.longestGapMs, 1, "ms"));
    figure(QStringLiteral("Gyroscope overflows"), QString::number(i.overflows));
    figure(QStringLiteral("Temperature"),
                       i.hasTemperature ? formatFigure(i.temperature, 1, "°C") : QStringLiteral("not reported"));
    figure(QStringLiteral("Time to 6DoF"),
                       p.timeTo6Dof < 0 ? QStringLiteral("not reached") : formatFigure(p.timeTo6Dof, 2, "s"));
    figure(QStringLiteral("Tracking lost / regained"),
                       QString::number(p.losses) + QStringLiteral(" / ") + QString::number(p.reidentifications));
    figure(QStringLiteral("Optimiser failures"),
                       QString::number(p.failures) + QStringLiteral(" of ") + QString::number(p.batches));
    figure(QStringLiteral("Optimiser quality"), formatFigure(p.meanQuality, 3, ""));
    figure(QStringLiteral("Matching / optimising"), formatFigure(p.matchingMs, 2, "") +
                                                                    QStringLiteral(" / ") +
                                                                    formatFigure(p.optimizingMs, 2, "ms"));
    figure(QStringLiteral("Inertial lag"),
                       r.lag.found ? formatFigure(r.lag.milliseconds, 1, "ms") : QStringLiteral("not measurable yet"));
    figureNames_ = std::move(names);
    figureValues_ = std::move(values);

    QVariantList findings;
    for (const Finding& f : r.findings)
        findings << QVariantMap{{QStringLiteral("text"), QString::fromStdString(f.text)},
                                {QStringLiteral("evidence"), QString::fromStdString(f.evidence)},
                                {QStringLiteral("suggestion"), QString::fromStdString(f.suggestion)}};
    const bool findingsDiffer = findings != findings_;
    findings_ = std::move(findings);

    markers_.clear();
    for (const MarkerFigures& m : r.markers)
        markers_ << QVariantMap{{QStringLiteral("index"), m.index},
                                {QStringLiteral("x"), m.position.x},
                                {QStringLiteral("y"), m.position.y},
                                {QStringLiteral("z"), m.position.z},
                                {QStringLiteral("inView"), qint64(m.framesInView)},
                                {QStringLiteral("matched"), qint64(m.framesMatched)},
                                {QStringLiteral("rate"), markerRate(m)}};

    straySources_.clear();
    for (const StraySource& s : r.straySources) {
        const Point3 at = sourcePosition(s);
        straySources_ << QVariantMap{{QStringLiteral("x"), at.x},
                                     {QStringLiteral("y"), at.y},
                                     {QStringLiteral("z"), at.z},
                                     {QStringLiteral("frames"), qint64(s.frames)},
                                     {QStringLiteral("share"), s.frameShare}};
    }
    emit changed();
    if (findingsDiffer)
        emit findingsChanged();
    if (plotsDiffer)
        emit plotsChanged();
    emit roomChanged();
}

QString SessionHealthModel::figureValue(const QString& name) const {
    const int index = figureNames_.indexOf(name);
    return index < 0 ? QString() : figureValues_.value(index);
}

double SessionHealthModel::timeSpan() const {
    if (report_.windows.empty())
        return 1;
    const HealthWindow& last = report_.windows.back();
    return std::max(1.0, last.start + last.duration);
}

int SessionHealthModel::heatAt(int column, int row) const {
    const ImageHeatMap& map = report_.strayImage;
    if (column < 0 || row < 0 || column >= map.size || row >= map.size)
        return 0;
    const std::size_t index = std::size_t(row) * std::size_t(map.size) + std::size_t(column);
    return index < map.counts.size() ? int(map.counts[index]) : 0;
}

int SessionHealthModel::heatMaximum() const {
    const auto& counts = report_.strayImage.counts;
    return counts.empty() ? 0 : int(*std::max_element(counts.begin(), counts.end()));
}

int SessionHealthModel::strayBlobs() const {
    int64_t sum = 0;
    for (uint32_t count : report_.strayImage.counts)
        sum += count;
    return int(std::min<int64_t>(sum, INT32_MAX));
}

double SessionHealthModel::plotValue(int plot, int index) const {
    const HealthWindow& w = report_.windows.at(std::size_t(index));
    switch (plot) {
    case FrameRate:
        return w.duration > 0 ? double(w.frames) / w.duration : 0;
    case LostFrames:
        return w.frames + w.lostFrames > 0 ? 100.0 * double(w.lostFrames) / double(w.frames + w.lostFrames) : 0;
    case PointsPerFrame:
        return w.pointsPerFrame;
    case MatchedRays:
        return w.matchedRaysPerFrame;
    case Quality:
        return w.meanQuality;
    default:
        return 0;
    }
}

int SessionHealthModel::fillSeries(QObject* series, int plot) const {
    auto* xy = qobject_cast<QtCharts::QXYSeries*>(series);
    if (!xy || plot < 0 || plot >= PlotCount)
        return -1;
    // Groups of `group` neighbouring windows, each drawn as its mean at the middle of its time.
    const int windows = int(report_.windows.size());
    const int group = (windows + maximumPlotPoints - 1) / maximumPlotPoints;
    QVector<QPointF> points;
    points.reserve(maximumPlotPoints);
    for (int first = 0; first < windows; first += group) {
        const int last = std::min(windows, first + group) - 1;
        double sum = 0;
        for (int i = first; i <= last; ++i)
            sum += plotValue(plot, i);
        const HealthWindow& a = report_.windows[std::size_t(first)];
        const HealthWindow& b = report_.windows[std::size_t(last)];
        points.append(QPointF(0.5 * (a.start + b.start + b.duration), sum / (last - first + 1)));
    }
    xy->replace(points);
    return points.size();
}

double SessionHealthModel::plotMaximum(int plot) const {
    double highest = 0;
    for (std::size_t i = 0; i < report_.windows.size(); ++i)
        highest = std::max(highest, plotValue(plot, int(i)));
    return roundAxisMaximum(highest);
}
