#pragma once
// What the Session Health viewer shows, as QML properties: one report of the health analysis
// turned into the live figures, the findings, the series of the plots over time, the heat map
// of stray blobs in the image and the room's markers and stray-light sources. show() takes a
// new report (GUI thread) and emits `changed` (the figures), then `findingsChanged` when the
// findings differ from those shown, `plotsChanged` when the windows differ in number or in the
// last one's start (a window closes once a second: the plots are not redrawn for every report)
// and `roomChanged` (heat map, markers, sources).

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "tracking/runtime/health/HealthReport.h"

using SessionHealthReport = Kestrel::Orb::Tracking::Health::HealthReport;

class SessionHealthModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString sessionText   READ sessionText   NOTIFY changed)
    Q_PROPERTY(QStringList figureNames  READ figureNames  NOTIFY changed)
    Q_PROPERTY(QStringList figureValues READ figureValues NOTIFY changed)
    Q_PROPERTY(QVariantList findings READ findings      NOTIFY findingsChanged)
    Q_PROPERTY(QStringList plotTitles READ plotTitles   CONSTANT)
    Q_PROPERTY(double timeSpan       READ timeSpan      NOTIFY plotsChanged)
    Q_PROPERTY(int heatSize          READ heatSize      NOTIFY roomChanged)
    Q_PROPERTY(int strayBlobs        READ strayBlobs    NOTIFY roomChanged)
    Q_PROPERTY(QVariantList markers  READ markers       NOTIFY roomChanged)
    Q_PROPERTY(QVariantList straySources READ straySources NOTIFY roomChanged)
public:
    // The plots over time, in the order of plotTitles.
    enum Plot : int { FrameRate, LostFrames, PointsPerFrame, MatchedRays, Quality, PlotCount };
    Q_ENUM(Plot)

    explicit SessionHealthModel(QObject* parent = nullptr);

    void show(const SessionHealthReport& report);
    const SessionHealthReport& report() const { return report_; }

    QString sessionText() const { return sessionText_; }
    // The live figures: their names, and their values formatted with their units.
    QStringList figureNames() const { return figureNames_; }
    QStringList figureValues() const { return figureValues_; }
    // The value of the figure called `name`, empty when there is none.
    QString figureValue(const QString& name) const;
    // One {text, evidence, suggestion} map per finding, in the report's order.
    QVariantList findings() const { return findings_; }
    static QStringList plotTitles();
    // The end of the last window: the plots' time axis runs from 0 to this (at least 1 s).
    double timeSpan() const;
    // The stray-blob heat map: heatSize by heatSize cells over the normalized image square
    // [-1, 1]^2, row 0 at y = -1 (the image's top).
    int heatSize() const { return report_.strayImage.size; }
    // Stray blobs in the cell (column, row); 0 outside the grid.
    int heatAt(int column, int row) const;
    int heatMaximum() const;
    int strayBlobs() const;
    // One {index, x, y, z, inView, matched, rate} map per marker; rate is the share of its
    // frames in view in which it was matched, -1 for a marker never in view.
    QVariantList markers() const { return markers_; }
    // One {x, y, z, frames, share} map per stray-light source (share: of the 6DoF frames).
    QVariantList straySources() const { return straySources_; }
    // A marker's match rate, -1 when it was never in view.
    static double markerRate(const Kestrel::Orb::Tracking::Health::MarkerFigures& marker);
    // Where a stray source is best known: the point nearest its rays when it was triangulated,
    // else where its rays meet the marker plane.
    static Kestrel::Orb::Tracking::Health::Point3 sourcePosition(const Kestrel::Orb::Tracking::Health::StraySource& source);

    // At most this many points per plot: longer sessions are drawn as means of neighbouring
    // windows, so that a redraw costs the same after an hour as after a minute.
    static constexpr int maximumPlotPoints = 300;

    // Replaces the points of a Qt Charts XY series with the plot's values over time (one point
    // at the middle of each window, or of each group of windows that are averaged); answers the
    // number of points, or -1 when `series` is not an XY series or `plot` is out of range.
    Q_INVOKABLE int fillSeries(QObject* series, int plot) const;
    // A round upper end for the plot's value axis that holds all its values (1 for a plot of
    // zeros).
    Q_INVOKABLE double plotMaximum(int plot) const;
    // The plot's value in window `index` (tests, the series).
    double plotValue(int plot, int index) const;

    // "12.3 s", "2.1 %", ...: the figure texts.
    static QString formatFigure(double value, int decimals, const char* unit);
    // The upper end of an axis: the smallest of 1, 2, 5 times a power of ten that holds `value`;
    // 1 for zero, a negative or a value that is not finite.
    static double roundAxisMaximum(double value);

signals:
    void changed();
    void findingsChanged();
    void plotsChanged();
    void roomChanged();

private:
    SessionHealthReport report_;
    QString sessionText_;
    QStringList figureNames_, figureValues_;
    QVariantList findings_, markers_, straySources_;
};
