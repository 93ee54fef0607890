// The Session Health viewer's model: one report of the health analysis turned into the figures,
// findings, plot series, heat map cells, markers and stray-light sources that the QML shows.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QtCharts/QBarSeries>
#include <QtCharts/QLineSeries>

#include "viewers/SessionHealthModel.h"

using namespace Kestrel::Orb::Tracking::Health;

namespace {

HealthReport sampleReport() {
    HealthReport r;
    r.seconds = 12.34;
    r.optical.frames = 1175;
    r.optical.lostFrames = 25;
    r.optical.lostShare = 25.0 / 1200.0;  // 2.083 %
    r.optical.frameRate = 95.2;
    r.pipeline.timeTo6Dof = -1;
    r.lag.found = true;
    r.lag.milliseconds = 7.04;
    // Two windows of a second: 190 frames with 10 lost, then 95 frames with none.
    HealthWindow first;
    first.start = 0;
    first.duration = 1;
    first.frames = 190;
    first.lostFrames = 10;
    first.pointsPerFrame = 5.5;
    HealthWindow second = first;
    second.start = 1;
    second.frames = 95;
    second.lostFrames = 0;
    second.pointsPerFrame = 6;
    r.windows = {first, second};
    MarkerFigures dirty;
    dirty.index = 14;
    dirty.position = {1.0, 0.0, 2.0};
    dirty.framesInView = 250;
    dirty.framesMatched = 10;
    MarkerFigures unseen;
    unseen.index = 3;
    r.markers = {dirty, unseen};
    StraySource onPlane;
    onPlane.position = {1.2, 0.0, -0.8};
    onPlane.frames = 400;
    onPlane.frameShare = 0.5;
    StraySource lamp;
    lamp.position = {9, 9, 9};
    lamp.triangulated = true;
    lamp.triangulatedPosition = {0.5, 2.5, 0.25};
    r.straySources = {onPlane, lamp};
    r.strayImage.size = 2;
    r.strayImage.counts = {0, 7, 3, 1};  // row-major from the top left
    Finding lost;
    lost.text = "2.1 % of optical frames lost";
    lost.evidence = "25 of 1200 frames";
    lost.suggestion = "Check the cable";
    Finding marker;
    marker.text = "Marker 14 was matched in 4 % of the frames it was in view";
    r.findings = {lost, marker};
    return r;
}

QString figureValue(const SessionHealthModel& model, const QString& name) {
    EXPECT_TRUE(model.figureNames().contains(name)) << "no figure " << name.toStdString();
    return model.figureValue(name);
}

} // namespace

TEST(SessionHealthModel, FiguresAndFindingsInPlainText) {
    SessionHealthModel model;
    QSignalSpy changed(&model, &SessionHealthModel::changed);
    QSignalSpy findingsChanged(&model, &SessionHealthModel::findingsChanged);
    model.show(sampleReport());
    EXPECT_EQ(1, changed.count());
    EXPECT_EQ(1, findingsChanged.count());
    EXPECT_EQ("session since this viewer opened: 12.3 s", model.sessionText());
    EXPECT_EQ("25 (2.1 %)", figureValue(model, "Lost frames"));
    EXPECT_EQ("95.2 Hz", figureValue(model, "Frame rate"));
    EXPECT_EQ("not reached", figureValue(model, "Time to 6DoF"));
    EXPECT_EQ("7.0 ms", figureValue(model, "Inertial lag"));
    EXPECT_EQ("not reported", figureValue(model, "Temperature"));
    EXPECT_EQ("0.0 ms", SessionHealthModel::formatFigure(-0.02, 1, "ms"));

    ASSERT_EQ(2, model.findings().size());
    const QVariantMap first = model.findings()[0].toMap();
    EXPECT_EQ("2.1 % of optical frames lost", first.value("text").toString());
    EXPECT_EQ("25 of 1200 frames", first.value("evidence").toString());
    EXPECT_EQ("Check the cable", first.value("suggestion").toString());
    EXPECT_EQ("Marker 14 was matched in 4 % of the frames it was in view", model.findings()[1].toMap().value("text").toString());

    // The same findings again: the list is not rebuilt.
    model.show(sampleReport());
    EXPECT_EQ(1, findingsChanged.count());
    // A later report replaces everything: a clean one has no finding left.
    HealthReport clean = sampleReport();
    clean.findings.clear();
    model.show(clean);
    EXPECT_EQ(0, model.findings().size());
    EXPECT_EQ(2, findingsChanged.count());
}

TEST(SessionHealthModel, MarkersAndSourcesForTheRoomView) {
    SessionHealthModel model;
    model.show(sampleReport());
    ASSERT_EQ(2, model.markers().size());
    const QVariantMap dirty = model.markers()[0].toMap();
    EXPECT_EQ(14, dirty.value("index").toInt());
    EXPECT_DOUBLE_EQ(0.04, dirty.value("rate").toDouble());  // 10 of 250
    EXPECT_DOUBLE_EQ(2.0, dirty.value("z").toDouble());
    EXPECT_DOUBLE_EQ(-1.0, model.markers()[1].toMap().value("rate").toDouble()) << "never in view";

    ASSERT_EQ(2, model.straySources().size());
    const QVariantMap onPlane = model.straySources()[0].toMap();
    EXPECT_DOUBLE_EQ(1.2, onPlane.value("x").toDouble());
    EXPECT_DOUBLE_EQ(-0.8, onPlane.value("z").toDouble());
    // A triangulated source is shown where its rays meet, not on the marker plane.
    const QVariantMap lamp = model.straySources()[1].toMap();
    EXPECT_DOUBLE_EQ(0.5, lamp.value("x").toDouble());
    EXPECT_DOUBLE_EQ(2.5, lamp.value("y").toDouble());
}

TEST(SessionHealthModel, HeatMapCellsAreRowMajorAndSafeOutside) {
    SessionHealthModel model;
    HealthReport r = sampleReport();
    model.show(r);
    EXPECT_EQ(2, model.heatSize());
    EXPECT_EQ(7, model.heatAt(1, 0));
    EXPECT_EQ(3, model.heatAt(0, 1));
    EXPECT_EQ(7, model.heatMaximum());
    EXPECT_EQ(11, model.strayBlobs());
    EXPECT_EQ(0, model.heatAt(2, 0));
    EXPECT_EQ(0, model.heatAt(0, -1));
    // Fewer counts than cells: the missing cells read as empty, nothing is read past the end.
    r.strayImage.counts = {4};
    model.show(r);
    EXPECT_EQ(0, model.heatAt(1, 1));
    EXPECT_EQ(4, model.heatAt(0, 0));
}

TEST(SessionHealthModel, PlotSeriesOverTheWindows) {
    SessionHealthModel model;
    QSignalSpy plotsChanged(&model, &SessionHealthModel::plotsChanged);
    HealthReport r = sampleReport();
    model.show(r);
    EXPECT_EQ(1, plotsChanged.count());
    // The plots follow closed windows: a report whose windows are those shown redraws none.
    r.seconds += 0.25;
    model.show(r);
    EXPECT_EQ(1, plotsChanged.count());
    HealthReport longer = r;
    longer.windows.push_back(r.windows.back());
    longer.windows.back().start = 2;
    model.show(longer);
    EXPECT_EQ(2, plotsChanged.count());
    model.show(r);
    EXPECT_EQ(3, plotsChanged.count()) << "a fresh session (fewer windows) is redrawn";
    EXPECT_DOUBLE_EQ(2.0, model.timeSpan());
    QtCharts::QLineSeries series;
    ASSERT_EQ(2, model.fillSeries(&series, SessionHealthModel::FrameRate));
    // One point at the middle of each window: 190 frames in 1 s, then 95.
    EXPECT_EQ(QPointF(0.5, 190), series.at(0));
    EXPECT_EQ(QPointF(1.5, 95), series.at(1));
    ASSERT_EQ(2, model.fillSeries(&series, SessionHealthModel::LostFrames));
    EXPECT_DOUBLE_EQ(5.0, series.at(0).y());  // 10 lost of 200
    EXPECT_DOUBLE_EQ(0.0, series.at(1).y());
    EXPECT_EQ(200, model.plotMaximum(SessionHealthModel::FrameRate));
    EXPECT_EQ(5, model.plotMaximum(SessionHealthModel::LostFrames));
    EXPECT_EQ(1, model.plotMaximum(SessionHealthModel::Quality)) << "all zero";

    QtCharts::QBarSeries bars;
    EXPECT_EQ(-1, model.fillSeries(&bars, SessionHealthModel::FrameRate));
    EXPECT_EQ(-1, model.fillSeries(&series, SessionHealthModel::PlotCount));
    EXPECT_EQ(2, series.count()) << "a refused plot leaves the series as it was";

    // A long session: 599 windows of a second are drawn in groups of ceil(599 / 300) = 2, 299
    // means of two and the last window alone. Frames alternate 100, 300: each pair's mean
    // is 200.
    HealthReport long_ = sampleReport();
    long_.windows.clear();
    for (int i = 0; i < 599; ++i) {
        HealthWindow w;
        w.start = i;
        w.duration = 1;
        w.frames = i % 2 ? 300 : 100;
        long_.windows.push_back(w);
    }
    model.show(long_);
    ASSERT_EQ(300, model.fillSeries(&series, SessionHealthModel::FrameRate));
    EXPECT_EQ(QPointF(1, 200), series.at(0));        // windows 0 and 1: 0 s to 2 s
    EXPECT_EQ(QPointF(597, 200), series.at(298));    // windows 596 and 597
    EXPECT_EQ(QPointF(598.5, 100), series.at(299));  // window 598 alone
}

TEST(SessionHealthModel, AxisMaximaAreRoundAndHoldTheValue) {
    EXPECT_EQ(200, SessionHealthModel::roundAxisMaximum(190));
    EXPECT_EQ(200, SessionHealthModel::roundAxisMaximum(200));
    EXPECT_EQ(500, SessionHealthModel::roundAxisMaximum(201));
    EXPECT_EQ(1000, SessionHealthModel::roundAxisMaximum(501));
    EXPECT_DOUBLE_EQ(0.05, SessionHealthModel::roundAxisMaximum(0.03));
    EXPECT_EQ(1, SessionHealthModel::roundAxisMaximum(0));
    EXPECT_EQ(1, SessionHealthModel::roundAxisMaximum(-3));
    EXPECT_EQ(1, SessionHealthModel::roundAxisMaximum(std::numeric_limits<double>::quiet_NaN()));
}
