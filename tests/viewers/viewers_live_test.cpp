// The three viewers' QML, as the main window creates them, against the simulated device network
// on a fast clock that the test moves on. Screenshots go to build/tests/viewers_live/ for a look.
//   tracker 2: still, camera down over one bar, no noise - the Image viewer
//   tracker 3: still with a hand-held wobble, inertial data in step with the camera
//   tracker 4: the same wobble with the inertial data 10 ms late
//   tracker 5: turning about its own y axis over the bar - the MidSpace viewer
//   tracker 6: unplugged at 30 s of simulation time
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickView>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>

#include "ImageProbe.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"
#include "device_network/NetworkHolder.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/device_tasks/OrbDebugCotask.h"
#include "viewers/TaskViewer_OrbDebug_Image.h"
#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"
#include "viewers/TaskViewer_OrbTracking_MidSpace.h"

using Kestrel::InterfaceContract::check;

namespace {

// Every tracker sees one bar of 1.5 m with its middle marker at a third ("Single") below it.
const char scenario[] = R"({
  "clock": "fast",
  "seed": 11,
  "devices": [
    {"handle": 1, "kind": "adapter"},
    {"handle": 2, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=", "trajectory": {"kind": "static"},
     "noise": {"centroid": 0, "dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0}},
    {"handle": 3, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=",
     "trajectory": {"kind": "static", "jitter": true, "jitterAngle": 0.05, "jitterPosition": 0},
     "noise": {"dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0}},
    {"handle": 4, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=", "imuDelayMs": 10,
     "trajectory": {"kind": "static", "jitter": true, "jitterAngle": 0.05, "jitterPosition": 0},
     "noise": {"dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0}},
    {"handle": 5, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=",
     "trajectory": {"kind": "spin", "centre": [0, 1.2, 0], "turnRate": 2.0943951},
     "noise": {"dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0}},
    {"handle": 6, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=", "unplugAt": 30}
  ]
})";

QString screenshotFolder() { return QStringLiteral(ORB_TESTS_DIR "/viewers_live"); }

void advance(double seconds) {
    auto control = Kestrel::DeviceNetwork::NetworkHolder::instance().library().query<Kestrel::DeviceSimulator::ISimulationControl>();
    ASSERT_TRUE(control);
    // Small steps, so that the viewers' timers run in between as they would in real time.
    for (double done = 0; done < seconds; done += 0.05) {
        check(control.get(), control->advance(std::min(0.05, seconds - done)));
        QCoreApplication::processEvents();
    }
}

double simulationTime() {
    auto control = Kestrel::DeviceNetwork::NetworkHolder::instance().library().query<Kestrel::DeviceSimulator::ISimulationControl>();
    double t = 0;
    check(control.get(), control->getTime(&t));
    return t;
}

// Waits up to `ms` for `condition`, running the event loop.
template <class F>
bool waitFor(F&& condition, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// The window's root: creates a viewer the way the main window's grid does, so that the viewer
// can destroy itself.
const char hostQml[] = R"(
import QtQuick 2.15
Item {
    id: host
    function open(url, node) {
        var viewer = Qt.createComponent(url).createObject(host, { node: node });
        if (viewer)
            viewer.anchors.fill = host;
        return viewer;
    }
}
)";
QString hostPath;

// One viewer's QML item in a window of its own, as the main window creates it for `node`.
struct ViewerWindow {
    std::unique_ptr<QQuickView> view = std::make_unique<QQuickView>();
    QPointer<QQuickItem> viewer;

    ViewerWindow(const QString& name, int node) {
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        view->setSource(QUrl::fromLocalFile(hostPath));
        for (const QQmlError& error : view->errors())
            ADD_FAILURE() << error.toString().toStdString();
        view->resize(1200, 720);
        QVariant created;
        QMetaObject::invokeMethod(view->rootObject(), "open", Q_RETURN_ARG(QVariant, created),
                                  Q_ARG(QVariant, QStringLiteral("qrc:/Ui/") + name + QStringLiteral(".qml")),
                                  Q_ARG(QVariant, node));
        viewer = created.value<QQuickItem*>();
        EXPECT_TRUE(viewer) << "viewer " << name.toStdString() << " not created";
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    QQuickItem* root() const { return viewer.data(); }
    template <class T>
    T* cpp() const {
        return root() ? qobject_cast<T*>(root()->property("cpp").value<QObject*>()) : nullptr;
    }
    QQuickItem* item(const char* alias) const { return root()->property(alias).value<QQuickItem*>(); }
    // A press and release in the middle of the item, as the user's mouse does it.
    void click(QQuickItem* item) const {
        ASSERT_TRUE(item);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }
    // The button whose text is `text`.
    QQuickItem* button(const QString& text) const {
        std::vector<QQuickItem*> items;
        collectItems(root(), items);
        for (QQuickItem* child : items)
            if (child->property("text").toString() == text && child->inherits("QQuickAbstractButton"))
                return child;
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    // Types `text` into the field's text input, replacing what it shows.
    void type(const char* fieldAlias, const QString& text) const {
        QQuickItem* input = item(fieldAlias)->property("input").value<QQuickItem*>();
        ASSERT_TRUE(input);
        input->forceActiveFocus();
        QMetaObject::invokeMethod(input, "selectAll");
        for (QChar c : text)
            QTest::keyClick(view.get(), c.toLatin1());
        QTest::keyClick(view.get(), Qt::Key_Return);
    }
    QImage grab(const QString& file) const {
        QTest::qWait(200);  // let the viewport draw what the last tick handed it
        QImage image = view->grabWindow();
        QDir().mkpath(screenshotFolder());
        image.save(screenshotFolder() + "/" + file);
        return image;
    }
};

} // namespace

TEST(ImageViewerLive, ShowsTheCameraImageWithTheBlobsCircledWhereTheyAre) {
    ViewerWindow window(QStringLiteral("TaskViewer_OrbDebug_Image"), 2);
    auto* cpp = window.cpp<TaskViewer_OrbDebug_Image>();
    ASSERT_TRUE(cpp);
    ASSERT_TRUE(cpp->hasCotask());
    window.click(window.button(QStringLiteral("Capture image")));
    window.click(window.button(QStringLiteral("Capture points")));
    // The device is asked off the GUI thread; the ticks show the answers.
    ASSERT_TRUE(waitFor([&] { return !cpp->requests().busy(); }));
    EXPECT_EQ(QString(), cpp->errorText());

    const QByteArray& pixels = cpp->imageConstructor()->data();
    ASSERT_EQ(640 * 480, pixels.size());
    // The simulated tracker lists the blobs above its pixel threshold (40 by default).
    const std::vector<ImageBlob> blobs = findBlobs(pixels, 640, 480, 40);
    ASSERT_EQ(3u, blobs.size()) << "one bar of three markers below the camera";
    // Circles: the image circle (256 vertices), one of 64 vertices per point, the corner mark.
    const auto& mesh = *cpp->pointsGeometry();
    ASSERT_EQ(256 + 64 * blobs.size() + 64, mesh.vertices().size());
    std::vector<DrawnCircle> circles;
    for (size_t k = 0; k < blobs.size(); ++k)
        circles.push_back(circleAt(mesh, 256 + 64 * k, 64));
    for (const ImageBlob& blob : blobs) {
        // Drawn at the point minus half a pixel (circles sit on pixel centres).
        auto nearest = std::min_element(circles.begin(), circles.end(), [&](const auto& a, const auto& b) {
            return std::hypot(a.centre.x() - 0.5 - blob.x, a.centre.y() - 0.5 - blob.y) <
                   std::hypot(b.centre.x() - 0.5 - blob.x, b.centre.y() - 0.5 - blob.y);
        });
        // The simulator's image and points agree to a small fraction of a pixel (its blobs are
        // sampled Gaussians without centroid noise here); half a pixel off would fail.
        EXPECT_LT(std::hypot(nearest->centre.x() - 0.5 - blob.x, nearest->centre.y() - 0.5 - blob.y), 0.1)
            << "blob at " << blob.x << ", " << blob.y << ", circle at " << nearest->centre.x() << ", " << nearest->centre.y();
        // The circle encloses the pixels above the threshold: area = pi r^2 within a ring of pixels.
        const double r = nearest->radius;
        EXPECT_NEAR(blob.area, M_PI * r * r, 2 * M_PI * r + 4) << "blob at " << blob.x << ", " << blob.y;
    }

    const QImage shot = window.grab(QStringLiteral("image_viewer.png"));
    QQuickItem* viewport = window.item("viewport");
    const QRect viewportRect = viewport->mapRectToScene(QRectF(0, 0, viewport->width(), viewport->height())).toRect();
    const QRect image = darkBox(shot, viewportRect, 60);
    ASSERT_FALSE(image.isNull());
    const double scale = image.width() / 640.0;
    EXPECT_NEAR(image.height() / 480.0, scale, 0.02) << "the image keeps its proportions";
    auto onScreen = [&](double x, double y) { return QPointF(image.left() + x * scale, image.top() + y * scale); };
    // The camera image's own value at the image pixel that screen pixel (sx, sy) shows.
    auto imageValue = [&](int sx, int sy) {
        const int c = std::clamp(int((sx + 0.5 - image.left()) / scale), 0, 639);
        const int r = std::clamp(int((sy + 0.5 - image.top()) / scale), 0, 479);
        return int(uint8_t(pixels[r * 640 + c]));
    };
    // The most light the drawing adds on top of the image within a pixel of image point (x, y).
    auto addedLight = [&](double x, double y) {
        const QPointF p = onScreen(x, y);
        int best = -255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int sx = int(std::floor(p.x())) + dx, sy = int(std::floor(p.y())) + dy;
                best = std::max(best, brightness(shot.pixel(sx, sy)) - imageValue(sx, sy));
            }
        return best;
    };
    // A white circle drawn round (x, y) in image coordinates: light added all the way round.
    auto circleShown = [&](double x, double y, double radius, int samples, std::string& seen) {
        int lit = 0;
        for (int k = 0; k < samples; ++k) {
            const double a = 2 * M_PI * k / samples;
            const int added = addedLight(x + radius * std::cos(a), y + radius * std::sin(a));
            lit += added > 80;
            seen += std::to_string(added) + " ";
        }
        return lit;
    };
    for (const ImageBlob& blob : blobs) {
        // The blob itself is bright on the screen, as in the image.
        const QPointF centre = onScreen(blob.x, blob.y);
        EXPECT_GT(brightestNear(shot, centre.x(), centre.y(), 1), 150) << "blob at " << blob.x << ", " << blob.y;
        auto nearest = std::min_element(circles.begin(), circles.end(), [&](const auto& a, const auto& b) {
            return std::hypot(a.centre.x() - 0.5 - blob.x, a.centre.y() - 0.5 - blob.y) <
                   std::hypot(b.centre.x() - 0.5 - blob.x, b.centre.y() - 0.5 - blob.y);
        });
        std::string seen;
        EXPECT_EQ(24, circleShown(nearest->centre.x() - 0.5, nearest->centre.y() - 0.5, nearest->radius, 24, seen))
            << "circle round the blob at " << blob.x << ", " << blob.y << ", light added: " << seen;
    }
    // The image circle of radius 240 round the image centre.
    std::string seen;
    EXPECT_EQ(36, circleShown(320 - 0.5, 240 - 0.5, 240, 36, seen)) << "light added: " << seen;
    // Away from the circles the screen shows the image's dark background as the image has it.
    for (int row : {60, 420})
        for (int column = 100; column < 540; column += 40) {
            const QPoint p = onScreen(column + 0.5, row + 0.5).toPoint();
            const int shown = brightness(shot.pixel(p));
            EXPECT_LT(shown, 40) << "background at " << column << ", " << row;
            EXPECT_NEAR(imageValue(p.x(), p.y()), shown, 16) << "background at " << column << ", " << row;
        }
}

TEST(ImageViewerLive, ExposureAndThresholdEditsReachTheDevice) {
    ViewerWindow window(QStringLiteral("TaskViewer_OrbDebug_Image"), 2);
    auto* cpp = window.cpp<TaskViewer_OrbDebug_Image>();
    ASSERT_TRUE(cpp && cpp->debugTask());
    auto deviceValue = [&](uint32_t type) {
        int32_t value = -99;
        check(cpp->debugTask(), cpp->debugTask()->getConfig(type, 0, &value));
        return value;
    };
    EXPECT_EQ(10, deviceValue(4)) << "the simulated tracker starts at exposure 10";
    auto radii = [&] {
        window.click(window.button(QStringLiteral("Capture points")));
        EXPECT_TRUE(waitFor([&] { return !cpp->requests().busy(); }));
        const auto& mesh = *cpp->pointsGeometry();
        std::vector<double> r;
        for (size_t first = 256; first + 64 < mesh.vertices().size(); first += 64)
            r.push_back(circleAt(mesh, first, 64).radius);
        std::sort(r.begin(), r.end());
        return r;
    };
    const std::vector<double> before = radii();
    ASSERT_EQ(3u, before.size());
    // The threshold field stays empty while nothing has been set.
    QQuickItem* thresholdInput = window.item("pixelThreshold")->property("input").value<QQuickItem*>();
    EXPECT_EQ(QString(), thresholdInput->property("text").toString());

    window.type("expRows", QStringLiteral("25"));
    EXPECT_TRUE(waitFor([&] { return deviceValue(4) == 25; })) << "exposure now " << deviceValue(4);
    // exp(ms) follows: 25 * 928 / 49950 = 0.46446... ms.
    EXPECT_NEAR(0.464464, window.item("expMs")->property("value").toDouble(), 1e-5);

    window.type("pixelThreshold", QStringLiteral("12"));
    EXPECT_TRUE(waitFor([&] { return deviceValue(0) == 12; })) << "threshold now " << deviceValue(0);
    EXPECT_EQ(12, cpp->getPixelThreshold());

    // A lower threshold at a longer exposure: the same three blobs, each larger.
    window.click(window.button(QStringLiteral("Capture image")));
    const std::vector<double> after = radii();
    ASSERT_EQ(3u, after.size());
    for (size_t k = 0; k < 3; ++k)
        EXPECT_GT(after[k], before[k] + 0.5) << "point " << k;
    window.grab(QStringLiteral("image_viewer_exposure_25_threshold_12.png"));
}

namespace {

// Records `seconds` of simulation time between a click on Begin and one on End.
double recordLag(int node, const char* screenshot, double seconds = 3.0) {
    ViewerWindow window(QStringLiteral("TaskViewer_OrbTracking_GyroscopeLatency"), node);
    auto* cpp = window.cpp<TaskViewer_OrbTracking_GyroscopeLatency>();
    EXPECT_TRUE(cpp && cpp->latencyTask());
    if (!cpp || !cpp->latencyTask())
        return NAN;
    advance(0.5);  // calibration read, first frames
    window.click(window.button(QStringLiteral("Begin")));
    EXPECT_TRUE(cpp->latencyTask()->recording());
    advance(seconds);
    const size_t drawnWhileRecording = cpp->graph()->vertices().size();
    window.click(window.button(QStringLiteral("End")));
    EXPECT_FALSE(cpp->latencyTask()->recording());
    // The final graph and the lag are built off the GUI thread and shown by a later tick.
    EXPECT_TRUE(waitFor([&] { return !cpp->lagText().isEmpty(); })) << "no lag after End";
    // 2000 gyroscope entries a second, one segment between two; the optical curve beside them.
    const size_t entries = cpp->latencyTask()->withRecordings([](const auto& g, const auto&) { return g.size(); });
    EXPECT_NEAR(double(entries), seconds * 2000, 40);
    EXPECT_GT(drawnWhileRecording, 0u);
    EXPECT_GT(cpp->graph()->vertices().size(), 2 * (entries - 1));
    EXPECT_TRUE(window.item("lagLabel")->property("text").toString().startsWith(QStringLiteral("gyroscope lag: ")));
    const QImage shot = window.grab(QString::fromLatin1(screenshot));
    // The grid's line at x = 2.5 samples (half the grid time, 100 lines of 100 samples round it)
    // crosses the whole viewport: the default region of 10 samples by 90 degrees fits it, so
    // one unit is min(width / 10, height / 90) pixels from the viewport's centre.
    QQuickItem* viewport = window.item("viewport");
    const QRectF area = viewport->mapRectToScene(QRectF(0, 0, viewport->width(), viewport->height()));
    const double unit = std::min(area.width() / 10, area.height() / 90);
    const int gridColumn = int(std::floor(area.center().x() + 2.5 * unit));
    for (double fraction : {0.1, 0.3, 0.7, 0.9}) {
        const int row = int(area.top() + fraction * area.height());
        const int darkest = std::min({brightness(shot.pixel(gridColumn - 1, row)), brightness(shot.pixel(gridColumn, row)),
                                      brightness(shot.pixel(gridColumn + 1, row))});
        EXPECT_LT(darkest, 200) << "grid line at column " << gridColumn << ", row " << row;
    }
    return cpp->lagMilliseconds();
}

} // namespace

TEST(LatencyViewerLive, ReportsTheInertialDelayWithinHalfAFrame) {
    // 200 frames a second: half a frame interval is 2.5 ms.
    const double inStep = recordLag(3, "latency_viewer_0ms.png");
    EXPECT_NEAR(0.0, inStep, 2.5);
    const double late = recordLag(4, "latency_viewer_10ms.png");
    EXPECT_NEAR(10.0, late, 2.5);
    std::cout << "lag found: " << inStep << " ms for 0 ms, " << late << " ms for 10 ms" << std::endl;
}

TEST(LatencyViewerLive, AFinishedTaskEndsTheViewer) {
    ViewerWindow window(QStringLiteral("TaskViewer_OrbTracking_GyroscopeLatency"), 6);
    QPointer<QQuickItem> root = window.viewer;
    auto* cpp = window.cpp<TaskViewer_OrbTracking_GyroscopeLatency>();
    ASSERT_TRUE(cpp && cpp->hasCotask());
    QSignalSpy termination(cpp, &TaskViewer::termination);
    window.click(window.button(QStringLiteral("Begin")));
    advance(30.5 - simulationTime());  // the tracker is unplugged at 30 s
    EXPECT_TRUE(waitFor([&] { return root.isNull(); })) << "the viewer destroys itself";
    EXPECT_EQ(1, termination.count());
}

TEST(MidSpaceViewerLive, DrawsTheCirclesAndWithSwitchesTheAverages) {
    ViewerWindow window(QStringLiteral("TaskViewer_OrbTracking_MidSpace"), 5);
    auto* cpp = window.cpp<TaskViewer_OrbTracking_MidSpace>();
    ASSERT_TRUE(cpp && cpp->hasCotask());
    // The first ticks read the four switches; the pane shows them as checkboxes.
    advance(0.2);
    ASSERT_TRUE(waitFor([&] { return cpp->controls().size() == 4; }));
    QTest::qWait(100);
    std::vector<QQuickItem*> items, boxes;
    collectItems(window.root(), items);
    for (QQuickItem* item : items)
        if (item->inherits("KUICheckbox_QMLTYPE") || QString(item->metaObject()->className()).startsWith("KUICheckbox"))
            if (cpp->controls().contains(item->property("name").toString()))
                boxes.push_back(item);
    ASSERT_EQ(4u, boxes.size());

    auto colourCount = [&](int r, int g, int b, int a) {
        size_t n = 0;
        for (const auto& v : cpp->geometry()->vertices())
            n += v.color[0] == r && v.color[1] == g && v.color[2] == b && v.color[3] == a;
        return n;
    };
    // Unit circle and clip circle (with their labels), and the 90-degree circle.
    EXPECT_GE(colourCount(0, 0, 0, 192), 256u);
    EXPECT_GE(colourCount(0, 0, 0, 128), 256u);
    EXPECT_GE(colourCount(128, 64, 0, 255), 256u);
    EXPECT_EQ(0u, colourCount(0, 0, 0, 255)) << "no averaged point while switched off";
    EXPECT_EQ(0u, colourCount(255, 0, 0, 64)) << "no angular velocity while switched off";
    window.grab(QStringLiteral("midspace_viewer_switches_off.png"));

    // Turn for six seconds (two turns), so that single-blob frames and the turn rate arrive.
    advance(6.0);
    QVariantMap on = cpp->controls();
    on[QString::fromLatin1(TaskViewer_OrbTracking_MidSpace::showAveragedPoint)] = true;
    on[QString::fromLatin1(TaskViewer_OrbTracking_MidSpace::angularVelocity)] = true;
    cpp->setControls(on);
    ASSERT_TRUE(waitFor([&] { return colourCount(255, 0, 0, 64) > 0; }));
    EXPECT_GT(colourCount(0, 0, 0, 255), 0u) << "averaged point";
    EXPECT_GT(colourCount(0, 0, 255, 64), 0u) << "opposite axis";
    // The tracker turns about its own +y axis, perpendicular to the optical axis: the axis is
    // drawn on the 90-degree circle straight up, its opposite straight down.
    float ninety = 0;
    for (const auto& v : cpp->geometry()->vertices())
        if (v.color[0] == 128 && v.color[1] == 64 && v.color[2] == 0 && v.color[3] == 255) {
            ninety = std::hypot(v.position[0], v.position[1]);
            break;
        }
    ASSERT_GT(ninety, 0.1f);
    for (const auto& v : cpp->geometry()->vertices()) {
        const bool plus = v.color[0] == 255 && v.color[2] == 0 && v.color[3] == 64;
        const bool minus = v.color[0] == 0 && v.color[2] == 255 && v.color[3] == 64;
        if (plus || minus) {
            EXPECT_NEAR(0.0f, v.position[0], 0.01f);
            EXPECT_NEAR(plus ? ninety : -ninety, v.position[1], 0.01f);
        }
    }
    window.grab(QStringLiteral("midspace_viewer_switches_on.png"));
}

int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("scenario.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(scenario) < 0)
        return 2;
    file.close();
    hostPath = folder.filePath(QStringLiteral("host.qml"));
    QFile host(hostPath);
    if (!host.open(QIODevice::WriteOnly) || host.write(hostQml) < 0)
        return 2;
    host.close();
    qputenv("KESTREL_SIMULATION", path.toLocal8Bit());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(ORB_BIN_DIR));
    OrbDebug::setApplicationAttributes();
    // QTest's mouse functions reach the application as a QApplication (qApp) whenever the
    // widgets module is linked, as it is here through Svg: a QGuiApplication would be the wrong type.
    QApplication application(argc, argv);
    OrbDebug::registerQmlTypes();
    // What the main window's KdnFactory does first.
    Kestrel::DeviceNetwork::NetworkHolder::instance().setUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
