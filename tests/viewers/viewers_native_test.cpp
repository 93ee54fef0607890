// The viewers' native objects without a device: the Image viewer's conversions, stored
// threshold and point geometry, the latency graph, and the MidSpace drawing on a task fed
// nothing. Expected values are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <algorithm>
#include <cmath>

#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/device_tasks/MidSpaceCotask.h"
#include "tracking/runtime/stream/TrackingWire.h"
#include "viewers/TaskViewer_OrbDebug_Image.h"
#include "viewers/LiveCurve.h"
#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"
#include "viewers/TaskViewer_OrbTracking_MidSpace.h"

using KestrelQt3DEngine::LinedMeshConstructor;
using KestrelQt3DEngine::LinedVertex;
using Kestrel::Orb::DebugPoint;

namespace {

QVector3D position(const LinedVertex& vertex) {
    return QVector3D(vertex.position[0], vertex.position[1], vertex.position[2]);
}

// Every vertex in [first, first + count) lies at `radius` from `center`.
void expectCircle(const LinedMeshConstructor& geometry, size_t first, size_t count, QVector3D center, float radius) {
    ASSERT_LE(first + count, geometry.vertices().size());
    for (size_t i = first; i < first + count; ++i)
        EXPECT_NEAR(radius, (position(geometry.vertices()[i]) - center).length(), 1e-3f) << "vertex " << i;
}

bool hasColour(const LinedMeshConstructor& geometry, int r, int g, int b, int a) {
    for (const auto& vertex : geometry.vertices())
        if (vertex.color[0] == r && vertex.color[1] == g && vertex.color[2] == b && vertex.color[3] == a)
            return true;
    return false;
}

} // namespace

TEST(ImageViewer, ExposureRowsToMillisecondsInSinglePrecision) {
    TaskViewer_OrbDebug_Image viewer;
    // 100 * 928 = 92800 exactly; 92800 / 49950 rounded to float is 1.85785782 (in double it is
    // 1.857857857...); 928 / 49950 rounded to float is 0.0185785778.
    EXPECT_EQ(1.85785782f, viewer.exposureNativeToMs(100));
    EXPECT_EQ(0.0185785778f, viewer.exposureNativeToMs(1));
    EXPECT_EQ(0.0f, viewer.exposureNativeToMs(0));
}

TEST(ImageViewer, ThresholdIsMinusOneUntilSetAndStoredWithoutATask) {
    TaskViewer_OrbDebug_Image viewer;
    EXPECT_EQ(-1, viewer.getPixelThreshold());
    QSignalSpy errors(&viewer, &TaskViewer_OrbDebug_Image::errorTextChanged);
    viewer.setPixelThreshold(17);
    EXPECT_EQ(17, viewer.getPixelThreshold());
    // Nothing could be sent: the pane says so.
    EXPECT_EQ(1, errors.count());
    EXPECT_FALSE(viewer.errorText().isEmpty());
}

TEST(ImageViewer, ConstantsAreTheDebugTaskIdentifier) {
    // 2AD83E54-9F90-4C8F-9E40-34231CB5F898 as four little-endian 32-bit parts.
    EXPECT_EQ(int(0x2AD83E54u), TaskViewer_OrbDebug_Image::InterfaceId0);
    EXPECT_EQ(int(0x4C8F9F90u), TaskViewer_OrbDebug_Image::InterfaceId1);
    EXPECT_EQ(int(0x2334409Eu), TaskViewer_OrbDebug_Image::InterfaceId2);
    EXPECT_EQ(int(0x98F8B51Cu), TaskViewer_OrbDebug_Image::InterfaceId3);
    EXPECT_EQ(640, TaskViewer_OrbDebug_Image::ImageWidth);
    EXPECT_EQ(480, TaskViewer_OrbDebug_Image::ImageHeight);
}

TEST(ImageViewer, WithoutATaskOnlyTheImageCircleAndTheCornerMark) {
    TaskViewer_OrbDebug_Image viewer;
    auto* geometry = viewer.capturePoints();
    EXPECT_EQ(viewer.pointsGeometry(), geometry);
    // 128 segments of the image circle, 32 of the corner mark, two vertices each.
    ASSERT_EQ(size_t(2 * 128 + 2 * 32), geometry->vertices().size());
    expectCircle(*geometry, 0, 256, QVector3D(320, 240, 0), 240);
    expectCircle(*geometry, 256, 64, QVector3D(1, 1, 0), 0.5f);
    EXPECT_TRUE(hasColour(*geometry, 255, 255, 255, 255));
    // The failed image capture keeps the (empty) image and the same constructor.
    EXPECT_EQ(viewer.imageConstructor(), viewer.captureImage());
    EXPECT_TRUE(viewer.imageConstructor()->data().isEmpty());
    EXPECT_FALSE(viewer.errorText().isEmpty());
}

TEST(ImageViewer, PointCirclesFromTheBlobValue) {
    LinedMeshConstructor geometry;
    // 801 / 801.10614 = 0.99987, radius 0.99993: close to one pixel. 801.10614 * 4 = 3204.42
    // gives radius 2; value 0 a circle of radius 0.
    TaskViewer_OrbDebug_Image::buildPointsGeometry(
        geometry, {DebugPoint{801, 100.5f, 50.25f}, DebugPoint{3204, 10, 20}, DebugPoint{0, 5, 6}});
    ASSERT_EQ(size_t(256 + 3 * 64 + 64), geometry.vertices().size());
    expectCircle(geometry, 256, 64, QVector3D(100.5f, 50.25f, 0), 0.99993f);
    expectCircle(geometry, 320, 64, QVector3D(10, 20, 0), 1.99997f);
    expectCircle(geometry, 384, 64, QVector3D(5, 6, 0), 0);
    expectCircle(geometry, 448, 64, QVector3D(1, 1, 0), 0.5f);
}

TEST(GyroscopeLatencyViewer, GraphHasOneSegmentLessThanSamples) {
    LinedMeshConstructor graph;
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(graph, {});
    EXPECT_EQ(0u, graph.vertices().size());
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(graph, {{1, 2, 3}});
    EXPECT_EQ(0u, graph.vertices().size());
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(graph, {{9, 0.25f, 9}, {9, -1.5f, 9}});
    ASSERT_EQ(2u, graph.vertices().size());
    EXPECT_EQ(QVector3D(0, 0.25f, 0), position(graph.vertices()[0]));
    EXPECT_EQ(QVector3D(1, -1.5f, 0), position(graph.vertices()[1]));
    graph.clear();
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(graph, {{0, 1, 0}, {0, 2, 0}, {0, 4, 0}});
    ASSERT_EQ(4u, graph.vertices().size());
    EXPECT_EQ(QVector3D(1, 2, 0), position(graph.vertices()[2]));
    EXPECT_EQ(QVector3D(2, 4, 0), position(graph.vertices()[3]));
}

TEST(GyroscopeLatencyViewer, LiveCurveIsThePolylineUntilItsBucketsMerge) {
    const std::vector<float> values = {0, 5, 1, 4, 2, 3, 9, 7, 8};
    // Up to four entries in four buckets: the polyline itself.
    LiveCurve curve(4);
    LinedMeshConstructor polyline, drawn;
    std::vector<KestrelMath::vector3<float>> entries;
    for (int i = 0; i < 4; ++i) {
        curve.append(values[i]);
        entries.push_back({0, values[i], 0});
    }
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(polyline, entries);
    curve.draw(drawn);
    ASSERT_EQ(polyline.vertices().size(), drawn.vertices().size());
    for (size_t v = 0; v < drawn.vertices().size(); ++v)
        for (int k = 0; k < 2; ++k)
            EXPECT_EQ(polyline.vertices()[v].position[k], drawn.vertices()[v].position[k]) << v;

    // The fifth entry merges pairs (k = 2), the ninth again (k = 4): buckets {0 5 1 4}, {2 3 9 7},
    // {8} centred at x = 1.5, 5.5 and 8. Each drawn as its range, joined last value to first.
    for (size_t i = 4; i < values.size(); ++i)
        curve.append(values[i]);
    EXPECT_EQ(4u, curve.bucketSize());
    drawn.clear();
    curve.draw(drawn);
    const float expected[][2] = {{1.5f, 0}, {1.5f, 5}, {1.5f, 4}, {5.5f, 2}, {5.5f, 2}, {5.5f, 9}, {5.5f, 7}, {8, 8}};
    ASSERT_EQ(size_t(8), drawn.vertices().size());
    for (size_t v = 0; v < 8; ++v) {
        EXPECT_EQ(expected[v][0], drawn.vertices()[v].position[0]) << v;
        EXPECT_EQ(expected[v][1], drawn.vertices()[v].position[1]) << v;
    }
}

// Three times the bound: runs of 4 samples, each drawn as at most two segments, and a single
// sample's spike still reaches the top of its run's range.
TEST(GyroscopeLatencyViewer, FinalGraphOfALongRecordingIsBoundedAndKeepsItsPeaks) {
    const std::size_t n = 3 * TaskViewer_OrbTracking_GyroscopeLatency::finalBuckets;
    std::vector<KestrelMath::vector3<float>> entries(n, {0, 1, 0});
    entries[n / 2][1] = 40;
    KestrelQt3DEngine::LinedMeshConstructor graph;
    TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(graph, entries);
    EXPECT_LE(graph.vertices().size(), 4 * TaskViewer_OrbTracking_GyroscopeLatency::finalBuckets);
    float highest = 0;
    for (const auto& vertex : graph.vertices())
        highest = std::max(highest, vertex.position[1]);
    EXPECT_EQ(40.0f, highest);
}

TEST(GyroscopeLatencyViewer, BeginAndEndDoNothingWithoutATask) {
    TaskViewer_OrbTracking_GyroscopeLatency viewer;
    QSignalSpy geometry(&viewer, &TaskViewer_OrbTracking_GyroscopeLatency::emitNewGeometry);
    viewer.begin();
    viewer.end();
    viewer.tick();
    EXPECT_EQ(0, geometry.count());
}

TEST(GyroscopeLatencyViewer, LagTextWarnsOfAWeakMatch) {
    LatencyCorrelation::Lag lag;
    EXPECT_EQ(QStringLiteral("gyroscope lag: not found\n(turn the tracker back and forth in front of one light)"),
              TaskViewer_OrbTracking_GyroscopeLatency::describeLag(lag));
    lag.found = true;
    lag.milliseconds = 9.946;
    lag.correlation = 0.9744;
    lag.pairs = 531;
    EXPECT_EQ(QStringLiteral("gyroscope lag: 9.9 ms\n(correlation 0.974 over 531 frames)"),
              TaskViewer_OrbTracking_GyroscopeLatency::describeLag(lag));
    // A walk in a circle under many lights matches its curves only by chance.
    lag.milliseconds = -3.9;
    lag.correlation = 0.184;
    lag.pairs = 659;
    EXPECT_EQ(QStringLiteral("gyroscope lag: -3.9 ms\n(correlation 0.184 over 659 frames)\n"
                             "weak match, not to be trusted: turn the tracker back and forth in front of one light"),
              TaskViewer_OrbTracking_GyroscopeLatency::describeLag(lag));
    lag.correlation = 0.5;
    EXPECT_FALSE(TaskViewer_OrbTracking_GyroscopeLatency::describeLag(lag).contains(QStringLiteral("weak")));
}

TEST(MidSpaceViewer, ProjectionOfTheUnifiedModel) {
    using Vec3f = KestrelMath::vector3<float>;
    // xi = 0.5: (1, 0, 0) has r = sqrt(1 + 0.25) = 1.118034, so x = 0.894427.
    EXPECT_NEAR(0.894427f, TaskViewer_OrbTracking_MidSpace::project(Vec3f{1, 0, 0}, 0.5f).x(), 1e-5f);
    // (0.6, 0, -0.8): z + xi = -0.3, r = sqrt(0.36 + 0.09) = 0.670820, x = 0.894427, and the
    // negative (z + xi) / r = -0.447214 folds it by 1 / (1 - 0.2) = 1.25 to 1.118034.
    const QVector3D folded = TaskViewer_OrbTracking_MidSpace::project(Vec3f{0.6f, 0, -0.8f}, 0.5f);
    EXPECT_NEAR(1.118034f, folded.x(), 1e-5f);
    EXPECT_EQ(0.0f, folded.y());
    // xi = 0: the pinhole-like direction (0, 0.6, 0.8) lands at y = 0.6.
    EXPECT_NEAR(0.6f, TaskViewer_OrbTracking_MidSpace::project(Vec3f{0, 0.6f, 0.8f}, 0).y(), 1e-6f);
}

TEST(MidSpaceViewer, SwitchesAppearAfterTheFirstDrawAndUnknownKeysStay) {
    Kestrel::Orb::Tracking::GeometrySettings settings;
    settings.xi = 0.5f;
    Kestrel::Orb::Tracking::MidSpaceCotask task(settings, 1.5f);
    TaskViewer_OrbTracking_MidSpace viewer;
    EXPECT_TRUE(viewer.controls().isEmpty());
    viewer.setControls({{"Extra switch", true}});
    viewer.draw(task);
    const QVariantMap controls = viewer.controls();
    EXPECT_EQ(5, controls.size());
    EXPECT_TRUE(controls.value("Extra switch").toBool());
    for (const char* key : {"Show points coordinates", "Show negative points", "Show averaged point", "Angular velocity"}) {
        ASSERT_TRUE(controls.contains(key)) << key;
        EXPECT_FALSE(controls.value(key).toBool()) << key;
    }
}

TEST(MidSpaceViewer, NoBlobsAndEmptyWindowsDrawOnlyTheThreeCircles) {
    Kestrel::Orb::Tracking::GeometrySettings settings;
    settings.xi = 0.5f;
    Kestrel::Orb::Tracking::MidSpaceCotask task(settings, 1.5f);
    TaskViewer_OrbTracking_MidSpace viewer;
    QSignalSpy emitted(&viewer, &TaskViewer_OrbTracking_MidSpace::emitNewGeometry);
    viewer.draw(task);
    ASSERT_EQ(1, emitted.count());
    const size_t plain = viewer.geometry()->vertices().size();

    const auto& vertices = viewer.geometry()->vertices();
    // The unit circle first: one label "one" and then 128 segments at radius 1.
    size_t unitCircle = 0;
    for (const auto& vertex : vertices)
        if (vertex.color[3] == 192 && std::abs(position(vertex).length() - 1) < 1e-4f)
            ++unitCircle;
    EXPECT_GE(unitCircle, 256u);
    // 90 degrees: 1 / sqrt(0.25 + 1) = 0.894427 in the circle's colour.
    size_t ninety = 0;
    for (const auto& vertex : vertices)
        if (vertex.color[0] == 128 && vertex.color[1] == 64 && std::abs(position(vertex).length() - 0.894427f) < 1e-4f)
            ++ninety;
    EXPECT_GE(ninety, 256u);
    EXPECT_FALSE(hasColour(*viewer.geometry(), 128, 0, 0, 255)) << "a point was drawn";

    // Every switch on: the windows are empty, so nothing more is drawn (no division by zero).
    viewer.setControls({{"Show points coordinates", true}, {"Show negative points", true},
                        {"Show averaged point", true}, {"Angular velocity", true}});
    viewer.draw(task);
    EXPECT_EQ(plain, viewer.geometry()->vertices().size());
    for (const auto& vertex : viewer.geometry()->vertices())
        for (float coordinate : vertex.position)
            EXPECT_TRUE(std::isfinite(coordinate));
}

TEST(MidSpaceViewer, AngularVelocityAxesAreSeeThroughRedAndBlue) {
    Kestrel::Orb::Tracking::GeometrySettings settings;
    settings.xi = 0.5f;
    for (int i : {0, 5, 10})
        settings.gyroscope.pairs[i][0] = 360.0f;
    Kestrel::Orb::Tracking::MidSpaceCotask task(settings, 1.5f);
    Kestrel::DeviceNetwork::Tasks::Orb::Tracking2::InertialSample sample{1000, 0, 0};
    for (int k = 0; k < 20; ++k)
        ASSERT_EQ(0u, task.gyroscopeReceived(&sample));

    TaskViewer_OrbTracking_MidSpace viewer;
    viewer.setControls({{"Angular velocity", true}});
    viewer.draw(task);
    const LinedMeshConstructor& geometry = *viewer.geometry();
    EXPECT_TRUE(hasColour(geometry, 255, 0, 0, 64)) << "the axis";
    EXPECT_TRUE(hasColour(geometry, 0, 0, 255, 64)) << "the opposite axis";
    EXPECT_FALSE(hasColour(geometry, 1, 0, 0, 64));
    EXPECT_FALSE(hasColour(geometry, 0, 0, 1, 64));

    // Switched off, the same turn draws neither axis.
    viewer.setControls({{"Angular velocity", false}});
    viewer.draw(task);
    EXPECT_FALSE(hasColour(*viewer.geometry(), 255, 0, 0, 64));
    EXPECT_FALSE(hasColour(*viewer.geometry(), 0, 0, 255, 64));
}
