// The Tracking Debug pages, drawn from snapshot data built here (no task, no device), and the
// texts of the label. Expected positions are worked out by hand or with a short script
// (python3, double precision) and noted beside each case.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "TrackingDebugTestHelpers.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TrackingDebugEnvironmentPages.h"
#include "viewers/TrackingDebugPosePages.h"
#include "viewers/TrackingDebugQuadranglePage.h"
#include "viewers/TrackingDebugSensorPages.h"
#include "viewers/TrackingDebugText.h"

using namespace Kestrel::Orb::Tracking;
using namespace TrackingDebug;
using namespace TrackingDebugTest;

namespace {

Ray makeRay(Vec3f direction, MarkerIndex marker = -1, int32_t link = -1) {
    Ray ray{};
    ray.direction = direction;
    ray.markerIndex = marker;
    ray.previousLink = link;
    return ray;
}

FrameRecord makeFrame(std::vector<Ray> rays, float duration = 0.005f) {
    FrameRecord record;
    record.frame.up = Vec3f{{0, 1, 0}};
    record.frame.rays = std::move(rays);
    record.leap.duration = duration;
    return record;
}

const QColor black(0, 0, 0, 255);

} // namespace

TEST(TrackingDebugText, VectorRowsGreyOutComponentsBelowTheThreshold) {
    EXPECT_EQ("x  <font color = gray>-5e-05</font><br>", vectorTextRow("x  ", -0.00005, 0.0001));
    EXPECT_EQ("y  +0.25<br>", vectorTextRow("y  ", 0.25, 0.0001));
    // At the threshold itself the value is not smaller: shown normally.
    EXPECT_EQ("z  +0.0001<br>", vectorTextRow("z  ", 0.0001, 0.0001));
    EXPECT_EQ("x  -1.5<br>", vectorTextRow("x  ", -1.5, 0.0001));
    EXPECT_EQ("x  <font color = gray>+0</font><br>", vectorTextRow("x  ", 0.0, 0.0001));
    // Six significant digits.
    EXPECT_EQ("x  +3.14159<br>", vectorTextRow("x  ", 3.14159265, 0.0001));
}

TEST(TrackingDebugText, OptimizationTextHasTheStateThenFourDeltaBlocks) {
    OptimizerState state{};
    state.position = Vec3f{{0.5f, 1.25f, -2}};
    state.velocity = Vec3f{{0, 0, 0}};
    state.accelerometerCorrection = Vec3f{{0.001f, 0, 0}};
    StateDelta delta(12, 0.0f);
    delta[0] = -0.00005f;
    delta[1] = 0.25f;
    delta[11] = -2;
    const QString text = optimizationText(state, delta);
    EXPECT_EQ("Position<br>x:0.5<br>y:1.25<br>z:-2<br>"
              "Velocity<br>x:0<br>y:0<br>z:0<br>"
              "Accelerometer correction<br>x:0.001<br>y:0<br>z:0<br>"
              "<br>"
              "Position delta<br>x  <font color = gray>-5e-05</font><br>y  +0.25<br>z  <font color = gray>+0</font><br>"
              "Velocity delta<br>x  <font color = gray>+0</font><br>y  <font color = gray>+0</font><br>"
              "z  <font color = gray>+0</font><br>"
              "Rotation delta<br>x  <font color = gray>+0</font><br>y  <font color = gray>+0</font><br>"
              "z  <font color = gray>+0</font><br>"
              "Accelerometer delta<br>x  <font color = gray>+0</font><br>y  <font color = gray>+0</font><br>"
              "z  -2<br>",
              text.toStdString());
}

TEST(TrackingDebugText, UserTextNamesTheStage) {
    State state{};
    state.stabilityStage = 0;
    state.stabilityValue = 0;
    EXPECT_EQ("stability stage: InertialDataInitialization<br>stability.value: 0<br>", userText(state).toStdString());
    state.stabilityStage = 2;
    state.stabilityValue = 0.0042f;  // 0.00419999985 in single precision, "0.0042" in 6 digits
    EXPECT_EQ("stability stage: Tracking6Dof<br>stability.value: 0.0042<br>", userText(state).toStdString());
}

TEST(TrackingDebugViewer, TwelveSectionsInOrderAndTheTrackingTaskIdentifier) {
    TaskViewer_OrbTracking_Debug viewer;
    const QStringList expected = {"Optics", "History",      "All Patterns", "Alignment",       "Homography",  "Visual position",
                                  "MatchProjections", "Optimization", "UMI",     "User", "QuadrangleDebug", "GarlandDebug"};
    EXPECT_EQ(expected, viewer.sections());
    EXPECT_EQ(0, viewer.section());
    // A6C07D30-E3CF-44ED-B996-5F96998392E2 as four little-endian 32-bit parts.
    EXPECT_EQ(int(0xA6C07D30u), TaskViewer_OrbTracking_Debug::InterfaceId0);
    EXPECT_EQ(int(0x44EDE3CFu), TaskViewer_OrbTracking_Debug::InterfaceId1);
    EXPECT_EQ(int(0x965F96B9u), TaskViewer_OrbTracking_Debug::InterfaceId2);
    EXPECT_EQ(int(0xE2928399u), TaskViewer_OrbTracking_Debug::InterfaceId3);
}

TEST(TrackingDebugViewer, WithoutATaskTickDoesNothingAndTerminationStillComes) {
    TaskViewer_OrbTracking_Debug viewer;
    int geometries = 0, terminations = 0;
    QObject::connect(&viewer, &TaskViewer_OrbTracking_Debug::emitNewGeometry, [&] { ++geometries; });
    QObject::connect(&viewer, &TaskViewer::termination, [&] { ++terminations; });
    viewer.tick();
    EXPECT_EQ(0, geometries);
    viewer.requestTermination();
    EXPECT_EQ(1, terminations);
}

TEST(TrackingDebugPages, OpticsStretchesDownwardRaysToTheUnitPlane) {
    OpticFrame frame;
    frame.up = Vec3f{{0, 1, 0}};
    frame.rays = {makeRay(Vec3f{{0, -0.6f, -0.8f}}), makeRay(Vec3f{{0.6f, 0.8f, 0}})};
    LinedMeshConstructor geometry;
    drawOptics(geometry, frame);
    const std::size_t up = labelVertices("up");
    ASSERT_EQ(6 + 2 + up + 2 + labelVertices("ray:0") + 2 + labelVertices("ray:1"), geometry.vertices().size());
    expectColour(geometry, 6, QColor(0, 255, 0, 255));
    expectAt(geometry, 7, QVector3D(0, 1, 0));
    // Ray 0: m = 0.6, end d / m = (0, -1, -1.3333), raised by 0.0195 along z.
    const std::size_t first = 8 + up;
    expectAt(geometry, first, QVector3D(0, 0, 0.0195f));
    expectAt(geometry, first + 1, QVector3D(0, -1, -1.3333333f + 0.0195f));
    expectColour(geometry, first + 1, QColor(0, 0, 0, 200));
    // Ray 1 points above the horizon (m = -0.8): unit length, pink.
    const std::size_t second = first + 2 + labelVertices("ray:0");
    expectAt(geometry, second + 1, QVector3D(0.6f, 0.8f, 0.0195f));
    expectColour(geometry, second + 1, QColor(255, 128, 128, 200));
}

TEST(TrackingDebugPages, HistoryDrawsProjectionsTheLeapAndTheBlobTracks) {
    History history;
    history.add(makeFrame({makeRay(Vec3f{{0, -1, 0}})}));
    history.add(makeFrame({makeRay(Vec3f{{0, -1, 0}}, ambiguousMarker, 0), makeRay(Vec3f{{0.6f, -0.8f, 0}}, 3, 0)}));
    // Newest: a tracker at rest for 5 ms feels +1 g: position delta 4.905 t^2, velocity delta 9.81 t.
    FrameRecord newest = makeFrame({makeRay(Vec3f{{0, -0.8f, 0.6f}}, 0, 1), makeRay(Vec3f{{0, 0, -1}}, -1, 0)});
    newest.leap.positionDelta[1] = 4.905f * 0.005f * 0.005f;
    newest.leap.velocityDelta[1] = 9.81f * 0.005f;
    history.add(newest);
    const std::vector<HistoryMarker> entries = {{Vec3f{{0, -0.8f, 0.6f}}, 2.0f, 1.0f}, {Vec3f{{0, 0, -1}}, 2.0f, 0.001f}};
    // Where the blob tracking predicted the previous frame's blobs, at their own distances.
    history.projections = {{Vec3f{{0, -1, 0}}, 1.5f, 1.0f}, {Vec3f{{0.6f, -0.8f, 0}}, 2.5f, 1.0f}};

    LinedMeshConstructor geometry;
    drawHistory(geometry, history, entries);
    const std::size_t title = labelVertices("\nextrapolated previous projections");
    // 1 projection segment; the leap: 2 rays, a dot and a triangle (14); tracks of ages 0 and 1:
    // 2 rays each, a dot (4) and a link (2) per ray.
    ASSERT_EQ(title + 2 + 14 + 12 + 12, geometry.vertices().size());
    // Ray 0 meets marker 0 at 2 m; the blob it continues (ray 1 one frame older) was predicted
    // at 2.5 m.
    expectAt(geometry, title, QVector3D(0, -1.6f, 1.2f));
    expectAt(geometry, title + 1, QVector3D(1.5f, -2.0f, 0));
    expectColour(geometry, title, QColor(0, 0, 255, 255));
    // Both leap vectors end at 4.905 straight up; the dot sits at gravity's half.
    expectAt(geometry, title + 3, QVector3D(0, 4.905f, 0), 1e-3f);
    expectColour(geometry, title + 3, QColor(0, 0, 255, 32));
    expectAt(geometry, title + 4, QVector3D(0, 4.905f, 0), 1e-3f);
    expectColour(geometry, title + 9, QColor(255, 64, 0, 32));
    expectColour(geometry, title + 10, QColor(0, 0, 0, 32));
    // Tracks: newest ray 0 is a marker (green), ray 1 untagged (black); older ray 0 ambiguous (red).
    const std::size_t tracks = title + 16;
    expectColour(geometry, tracks, QColor(0, 255, 0, 128));
    expectAt(geometry, tracks + 5, QVector3D(0.6f, -0.8f, 0));  // linked to the older ray 1
    expectColour(geometry, tracks + 6, QColor(0, 0, 0, 64));
    expectColour(geometry, tracks + 12, QColor(255, 0, 0, 128));
}

TEST(TrackingDebugPages, HistoryLeapOfNoDurationDrawsNoInfiniteVertices) {
    History history;
    history.add(makeFrame({makeRay(Vec3f{{0, -1, 0}})}, 0.0f));
    LinedMeshConstructor geometry;
    drawHistory(geometry, history, {});
    EXPECT_EQ(labelVertices("\nextrapolated previous projections"), geometry.vertices().size());
    for (const auto& vertex : geometry.vertices())
        EXPECT_TRUE(std::isfinite(vertex.position[0]) && std::isfinite(vertex.position[1]) && std::isfinite(vertex.position[2]));
}

TEST(TrackingDebugPages, UmiTurnsTheMeanReadingBackIntoTheTrackerFrame) {
    auto up = std::make_unique<UpCollector<double>>();
    // A quarter turn about z before the samples: the collector stores them turned; the page
    // must turn them back, giving the mean of the raw readings (0, 0.99, 0.01).
    const double s = std::sqrt(0.5);
    up->rotate(KestrelMath::quaternion<double>{0, 0, s, s});
    up->accelerate(KestrelMath::vector<double, 3>{{0, 1, 0}});
    up->accelerate(KestrelMath::vector<double, 3>{{0, 0.98, 0.02}});
    LinedMeshConstructor geometry;
    drawUmi(geometry, *up);
    // |(0, 0.99, 0.01)| = 0.9900505037...
    ASSERT_EQ(2 + labelVertices("up. length:0.990051g"), geometry.vertices().size());
    expectAt(geometry, 1, QVector3D(0, 0.99f, 0.01f));
    expectColour(geometry, 1, QColor(0, 255, 0, 128));

    auto empty = std::make_unique<UpCollector<double>>();
    LinedMeshConstructor none;
    drawUmi(none, *empty);
    EXPECT_TRUE(none.vertices().empty());
}

TEST(TrackingDebugPages, AllPatternsEllipsesPointsAndBars) {
    // Shape (0.6, 0.6, 0), scale 0.9: along = 0.1 * 0.9 + 0.5 = 0.59, across = 0.54.
    const std::vector<Vec2f> points = {Vec2f{{1, 1}}, Vec2f{{1, 1.6f}}, Vec2f{{1, 3}}};
    const std::vector<Bar> bars = {Bar{{0, 1, 2}}, Bar{{0, 1, 7}}};  // the second names no point
    LinedMeshConstructor geometry;
    geometry.setCurrentColor(QColor(10, 20, 30, 255));
    drawAllPatterns(geometry, points, bars, Vec3f{{0.6f, 0.6f, 0}}, 0.9f);
    const std::size_t labels = labelVertices("0") + labelVertices("1") + labelVertices("2");
    ASSERT_EQ(256 + 3 * 128 + labels + 4 + 256, geometry.vertices().size());
    // The view ellipse of a unit pair, in the colour found: (0.59, 0, 0) at phi 0, (0, 0, 0.54) at pi/2.
    expectAt(geometry, 0, QVector3D(0.59f, 0, 0));
    expectAt(geometry, 64, QVector3D(0, 0, 0.54f));
    expectColour(geometry, 0, QColor(10, 20, 30, 255));
    // Point 0's circle (radius 0.02, normal y) starts at (1.02, 0, 1), grey.
    expectAt(geometry, 256, QVector3D(1.02f, 0, 1));
    expectColour(geometry, 256, QColor(128, 128, 128, 255));
    // The bar: halves, then its pair ellipse around (1, 0, 2) with d = (0, 0, 2), n = (-2, 0, 0):
    // (1, 0, 3.18) at phi 0, (-0.08, 0, 2) at pi/2.
    const std::size_t bar = 256 + 3 * 128 + labels;
    expectAt(geometry, bar, QVector3D(1, 0, 1));
    expectAt(geometry, bar + 1, QVector3D(1, 0, 1.6f));
    expectAt(geometry, bar + 4, QVector3D(1, 0, 3.18f));
    expectAt(geometry, bar + 4 + 64, QVector3D(-0.08f, 0, 2));
    // The next tick's view ellipse comes in (1, 0, 0, 255).
    EXPECT_EQ(QColor(1, 0, 0, 255), geometry.currentColor());
}

TEST(TrackingDebugPages, AlignmentGridAndCirclesRelativeToTheFirstPoint) {
    LinedMeshConstructor geometry;
    drawAlignment(geometry, {Vec2f{{2, 3}}, Vec2f{{2.5f, 3}}, Vec2f{{2, 2.5f}}}, 0.5f);
    // 13 lines each way over 12 x 12 cells, then three circles of 64 segments.
    ASSERT_EQ(52u + 3 * 128, geometry.vertices().size());
    expectAt(geometry, 0, QVector3D(-3, 0, -3));
    expectAt(geometry, 1, QVector3D(-3, 0, 3));
    expectAt(geometry, 51, QVector3D(3, 0, 3));
    expectColour(geometry, 0, black);
    // Circles of 0.05 at (0, 0), (0.5, 0) and (0, -0.5), each starting at +x.
    expectAt(geometry, 52, QVector3D(0.05f, 0, 0));
    expectAt(geometry, 52 + 128, QVector3D(0.55f, 0, 0));
    expectAt(geometry, 52 + 256, QVector3D(0.05f, 0, -0.5f));
    expectColour(geometry, 52, QColor(255, 0, 0, 255));
}

TEST(TrackingDebugPages, HomographyRaysFromTheCameraHeightAndTheirFloorPoints) {
    // A quarter turn about y: (x, y, z) -> (z, y, -x).
    const float s = std::sqrt(0.5f);
    const HomographyTransform transform{Quatf{0, s, 0, s}, {0, 1.5f, 0}};
    const std::vector<Vec3f> rays = {Vec3f{{0.6f, -0.8f, 0}}, Vec3f{{0, -1, 0}}, Vec3f{{0, 0.6f, 0.8f}}};
    const std::vector<Bar> bars = {Bar{{0, 1, 2}}, Bar{{0, 1, 9}}};
    const std::vector<Vec3f> distances = {Vec3f{{2, 1.5f, 3}}};  // none for bar 1: it is skipped
    LinedMeshConstructor geometry;
    drawHomography(geometry, transform, rays, distances, bars, {0, 1, 5});
    // Two rays with a floor dot (2 + 4 each), the upward one without (2).
    ASSERT_EQ(14u, geometry.vertices().size());
    expectColour(geometry, 0, QColor(0, 0, 0, 64));
    // Ray 0 turns to (0, -0.8, -0.6): to (0, 1.5, 0) + 2 ray = (0, -0.1, -1.2); floor at t = 1.875.
    expectAt(geometry, 0, QVector3D(0, 1.5f, 0));
    expectAt(geometry, 1, QVector3D(0, -0.1f, -1.2f));
    expectAt(geometry, 2, QVector3D(0, 0, -1.125f));
    expectAt(geometry, 7, QVector3D(0, 0, 0));  // ray 1 straight down, 1.5 m
    // Ray 2 turns to (0.8, 0.6, 0) and never meets the floor.
    expectAt(geometry, 13, QVector3D(2.4f, 3.3f, 0));
}

TEST(TrackingDebugPages, VisualPositionLandsRaysOnTheFloor) {
    OpticFrame frame;
    frame.rays = {makeRay(Vec3f{{0, -1, 0}}, -1), makeRay(Vec3f{{0.6f, -0.8f, 0}}, 4), makeRay(Vec3f{{1, 0, 0}}, 0)};
    LinedMeshConstructor geometry;
    drawVisualPosition(geometry, frame, Vec3f{{1, 2, 0.5f}}, Quatf::identity());
    const std::size_t label = labelVertices("2");
    // The horizontal ray never lands and is left out.
    ASSERT_EQ(label + 12, geometry.vertices().size());
    expectAt(geometry, label + 1, QVector3D(1, 0, 0.5f));
    expectColour(geometry, label, QColor(0, 0, 0, 64));
    // Index 4 is green (4 mod 3 = 1); it lands at p + 2.5 d = (2.5, 0, 0.5); cross of +-0.1.
    expectAt(geometry, label + 7, QVector3D(2.5f, 0, 0.5f));
    expectColour(geometry, label + 7, QColor(0, 255, 0, 255));
    expectAt(geometry, label + 8, QVector3D(2.4f, 0, 0.5f));
    expectAt(geometry, label + 11, QVector3D(2.5f, 0, 0.6f));
}

TEST(TrackingDebugPages, MatchProjectionsLinksMatchedProjectionsWithTheirError) {
    LinedMeshConstructor geometry;
    drawMatchProjections(geometry, {Vec2f{{0, 0}}, Vec2f{{1, 0}}},
                         {Vec2f{{0.003f, 0.004f}}, Vec2f{{1, 1}}, Vec2f{{5, 5}}}, {0, -1, 7});
    const std::size_t markers = labelVertices("markers") + 2 * 128;
    const std::size_t projections = labelVertices("\nprojections") + 3 * 128;
    // Only projection 0 is matched to a marker of the list: 5 mm from it.
    ASSERT_EQ(markers + projections + 2 + labelVertices("\nm:0\nerror:5mm"), geometry.vertices().size());
    expectColour(geometry, labelVertices("markers"), QColor(255, 0, 96, 255));
    expectAt(geometry, labelVertices("markers"), QVector3D(0.01f, 0, 0));
    expectColour(geometry, markers + labelVertices("\nprojections"), QColor(96, 0, 255, 255));
    expectAt(geometry, markers + projections, QVector3D(0.003f, 0, 0.004f));
    expectAt(geometry, markers + projections + 1, QVector3D(0, 0, 0));
}

TEST(TrackingDebugPages, OptimizationRaysFromTheCameraAndOlderFramesCarriedBack) {
    OptimizerState state{};
    state.position = Vec3f{{0, 1, 0}};
    state.rotation = Quatf::identity();
    const std::vector<Vec3f> markers = {Vec3f{{0, 0, 0.0162f}}, Vec3f{{1, 0, 0}}};
    History history;
    history.add(makeFrame({makeRay(Vec3f{{0, -1, 0}})}));
    // Camera c = (0, 1, 0.0162). Ray 0 points straight down at marker 0 (1 m below c), ray 1 has
    // no marker, ray 2 points straight down while marker 1 lies 45 degrees off. The optimiser
    // left ray 0 out and used ray 2: the colours follow its flag, not the angles.
    FrameRecord newest =
        makeFrame({makeRay(Vec3f{{0, -1, 0}}, 0), makeRay(Vec3f{{1, 0, 0}}, -1), makeRay(Vec3f{{0, -1, 0}}, 1)});
    newest.frame.rays[2].usedByOptimizer = 1;
    history.add(newest);
    StateDelta delta(12, 0.0f);
    LinedMeshConstructor geometry;
    const QString text = drawOptimization(geometry, markers, state, delta, history);
    // |marker 1 - c| = 1.4143063; the ray's end (0, -0.4143063, 0.0162) misses it by 1.0825489
    // ("1.1" in two digits).
    const std::size_t hit = labelVertices("0"), miss = labelVertices("1.1");
    ASSERT_EQ(2 * 128 + (2 + hit + 2) + 2 + (2 + miss + 2) + 6 + 4, geometry.vertices().size());
    expectColour(geometry, 0, QColor(0, 0, 0, 32));
    std::size_t at = 256;
    expectAt(geometry, at, QVector3D(0, 0, 0.0162f));  // black segment marker 0 -> ray end, both at the marker
    expectAt(geometry, at + 1, QVector3D(0, 0, 0.0162f));
    expectColour(geometry, at + 2, QColor(128, 128, 128, 128));  // not used, though it points at its marker
    at += 2 + hit;
    expectAt(geometry, at, QVector3D(0, 1, 0.0162f));
    at += 2;
    expectAt(geometry, at + 1, QVector3D(1, 1, 0.0162f));  // the unmatched ray, unit length
    expectColour(geometry, at, QColor(128, 64, 64, 32));
    at += 2;
    expectAt(geometry, at, QVector3D(1, 0, 0));
    expectAt(geometry, at + 1, QVector3D(0, -0.41430634f, 0.0162f), 1e-5f);
    expectColour(geometry, at + 2, QColor(0, 255, 0, 128));  // used, though 0.785 rad off
    at += 2 + miss + 2;
    // The older frame: 5 ms back at rest, only gravity's 4.905 t^2 = 1.22625e-4 m lower.
    expectAt(geometry, at, QVector3D(0, 1 - 1.22625e-4f, 0), 1e-6f);
    expectColour(geometry, at + 1, QColor(255, 0, 0, 32));
    // Its ray as a dot one metre from its camera (0, -1.22625e-4, 0.0162) + (0, -1, 0).
    expectAt(geometry, at + 6, QVector3D(0, -1.22625e-4f, 0.0162f), 1e-6f);
    expectColour(geometry, at + 6, QColor(255, 0, 0, 64));
    EXPECT_TRUE(text.startsWith("Position<br>x:0<br>y:1<br>z:0<br>"));
}

TEST(TrackingDebugPages, UserFramesFadeAndThePlacedPointsMotion) {
    UserSnapshot snapshot{};
    snapshot.placement = Placement{Vec3f{{0, 0.1f, 0}}, Quatf::identity()};
    snapshot.tracker.position = Vec3f{{1, 2, 3}};
    snapshot.tracker.rotation = Quatf::identity();
    snapshot.tracker.stabilityStage = 2;
    snapshot.tracker.stabilityValue = 0.5f;
    const float s = std::sqrt(0.5f);
    for (std::size_t i = 0; i < 5; ++i) {
        snapshot.placed[i].position = Vec3f{{1, 2.1f + 0.01f * float(i), 3}};
        snapshot.placed[i].rotation = Quatf{0, s, 0, s};  // quarter turn about y: z -> x
        snapshot.placed[i].velocity = Vec3f{{0.5f, 0, 0}};
        snapshot.placed[i].angularVelocity = Vec3f{{0, 0, 1}};
    }
    LinedMeshConstructor geometry;
    const QString text = drawUser(geometry, snapshot);
    ASSERT_EQ(3u * 6 + 5 * 6 + 4, geometry.vertices().size());
    expectAt(geometry, 1, QVector3D(0.01f, 0, 0));          // origin frame, scale 0.01
    expectAt(geometry, 7, QVector3D(0.01f, 0.1f, 0));       // at the placement
    expectAt(geometry, 13, QVector3D(1.5f, 2, 3));          // tracker, scale 0.5
    expectColour(geometry, 18, QColor(255, 0, 0, 255));     // i = 0, alpha 255
    expectAt(geometry, 25, QVector3D(1.5f, 2.1f, 3));       // velocity, yellow
    expectColour(geometry, 25, QColor(255, 255, 0, 255));
    expectAt(geometry, 27, QVector3D(2, 2.1f, 3));          // angular velocity (0, 0, 1) turned to x, cyan
    expectColour(geometry, 27, QColor(0, 255, 255, 255));
    expectColour(geometry, 52 - 6, QColor(255, 0, 0, 51));  // i = 4, alpha 51
    EXPECT_EQ("stability stage: Tracking6Dof<br>stability.value: 0.5<br>", text.toStdString());
}

TEST(TrackingDebugPages, QuadrangleSlotsReferenceAndDetectedBars) {
    Kestrel::Orb::Tracking::CornerObservations observed;
    Kestrel::Orb::Tracking::AccumulatedCorners accumulated{};
    accumulated[0] = Kestrel::Orb::Tracking::ReferenceCorner{0.2f, 0.1f, float(M_PI / 2), 1, 2, 3};
    observed[2] = Kestrel::Orb::Tracking::ReferenceCorner{0, 0, 0, 0.5f, 0.25f, 4};
    LinedMeshConstructor geometry;
    drawQuadrangleDebug(geometry, observed, accumulated, 1);
    const std::size_t reference0 = labelVertices("reference quality:1 2 3");
    const std::size_t reference = labelVertices("reference quality:0 0 0");
    const std::size_t detected = labelVertices("detected quality:0.5 0.25 4");
    ASSERT_EQ(4 + 4 * (2 + 2) + reference0 + 3 * reference + 2 + detected, geometry.vertices().size());
    expectAt(geometry, 0, QVector3D(-5, 0, 0));
    expectAt(geometry, 3, QVector3D(0, 0, 5));
    // Slot 0 at (-3, 0, -3): the black bar along x, then the reference turned by 90 degrees
    // around (-2.8, 0, -2.9) in red.
    expectAt(geometry, 4, QVector3D(-3.5f, 0, -3));
    expectColour(geometry, 4, black);
    expectAt(geometry, 6, QVector3D(-2.8f, 0, -3.4f));
    expectAt(geometry, 7, QVector3D(-2.8f, 0, -2.4f));
    expectColour(geometry, 6, QColor(255, 0, 0, 255));
    // Slot 2 at (3, 0, 3) with this frame's bar in blue before its reference.
    const std::size_t slot2 = 4 + (4 + reference0) + (4 + reference);
    expectAt(geometry, slot2, QVector3D(2.5f, 0, 3));
    expectAt(geometry, slot2 + 2, QVector3D(2.5f, 0, 3));
    expectColour(geometry, slot2 + 2, QColor(0, 0, 255, 255));
    EXPECT_EQ(3.0f, quadrangleSlot(1)[0]);
    EXPECT_EQ(-3.0f, quadrangleSlot(1)[1]);
    EXPECT_EQ(-3.0f, quadrangleSlot(3)[0]);
    EXPECT_EQ(3.0f, quadrangleSlot(3)[1]);
}
