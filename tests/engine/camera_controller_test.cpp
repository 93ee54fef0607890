// The QML camera controllers driven by real mouse and wheel events delivered to a window, with
// the camera they steer read back through its matrices. Expected values were worked out with a
// short script from the controllers' rules (90 / 520 degrees a pixel, 0.8 a wheel notch in 3D,
// 2^(1/4) a notch in 2D).
// (QML texts in raw strings must not contain a hash sign: moc then skips the file.)
#include "TestScene.h"

#include "engine/LookAtTransform.h"
#include "engine/OrthogonalCamera.h"
#include "engine/PerspectiveCamera.h"
#include "engine/Registration.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace KestrelQt3DEngine;
using EngineTest::SceneView;

namespace {

bool near(const QVector3D& a, const QVector3D& b, float tolerance) { return (a - b).length() <= tolerance; }

#define QCOMPARE_VEC(actual, expected, tolerance)                                                                \
    do {                                                                                                         \
        const QVector3D a_ = (actual), e_ = (expected);                                                          \
        if (!near(a_, e_, tolerance))                                                                            \
            QFAIL(qPrintable(QString("(%1, %2, %3) != (%4, %5, %6)").arg(a_.x()).arg(a_.y()).arg(a_.z()).arg(e_.x()).arg(e_.y()).arg(e_.z()))); \
    } while (false)

QVector3D vectorProperty(QObject* object, const char* name) { return object->property(name).value<QVector3D>(); }

// A wheel turn of the given angle deltas at item point pos, as a mouse wheel sends it.
void wheel(QWindow& window, QPoint pos, QPoint angleDelta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent event(QPointF(pos), QPointF(window.mapToGlobal(pos)), QPoint(), angleDelta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&window, &event);
}

// A drag with one button from `from` through `steps` equal moves to `to`.
void drag(QWindow& window, Qt::MouseButton button, QPoint from, QPoint to, int steps = 4) {
    QTest::mousePress(&window, button, Qt::NoModifier, from);
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(&window, from + (to - from) * i / steps);
    QTest::mouseRelease(&window, button, Qt::NoModifier, to);
}

// A perspective camera under a look-at transform steered by the orbit controller, in a
// 640 x 480 window (the controller's default size).
const char* const kOrbitScene = R"(
Item { Viewport { anchors.fill: parent; camera: cam
    LookAtTransform { objectName: "eye"; localPosition: orbit.cameraPosition; targetPosition: orbit.targetPosition
        PerspectiveCamera { id: cam; objectName: "camera"; fieldOfView: orbit.cameraFieldOfView } }
    CameraController { id: orbit; objectName: "orbit"
        property int presses: 0; property int releases: 0; property int wheels: 0
        onPressed: presses++; onReleased: releases++; onWheel: wheels++ } } })";

// An orthographic camera steered by the 2D controller, with a 640 x 480 default region.
const char* const kPanScene = R"(
Item { Viewport { anchors.fill: parent; camera: cam
    Transform { localPosition: pan.cameraPosition; localScale: pan.scale; OrtogonalCamera { id: cam; objectName: "camera" } }
    CameraController2D { id: pan; objectName: "pan"; defaultWidth: 640; defaultHeight: 480 } } })";

// A loaded scene with its controller and camera.
template <class Camera>
struct ControlledScene {
    ControlledScene(const char* body, const char* controllerName, int width, int height)
        : scene(body, width, height), controller(scene.find<QObject>(controllerName)), camera(scene.find<Camera>("camera")) {}
    bool ok() const { return scene.ok() && controller && camera; }
    QWindow& window() { return scene.view(); }
    QVector3D vector(const char* name) const { return vectorProperty(controller, name); }
    SceneView scene;
    QObject* controller;
    Camera* camera;
};

struct OrbitScene : ControlledScene<PerspectiveCamera> {
    OrbitScene() : ControlledScene(kOrbitScene, "orbit", 640, 480) {}
};

struct PanScene : ControlledScene<OrthogonalCamera> {
    PanScene() : ControlledScene(kPanScene, "pan", 1280, 480) {}
};

} // namespace

class CameraControllerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void leftDragOrbitsAroundTheTarget() {
        OrbitScene s;
        QVERIFY(s.ok());
        // 104 pixels right: 18 degrees of yaw at distance 5 from the origin.
        drag(s.window(), Qt::LeftButton, QPoint(320, 240), QPoint(424, 240));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(-1.5450850f, 0, -4.7552826f), 1e-4f);
        QCOMPARE(s.controller->property("presses").toInt(), 1);
        QCOMPARE(s.controller->property("releases").toInt(), 1);
        // 208 pixels down: 36 degrees of pitch, camera above the target.
        drag(s.window(), Qt::LeftButton, QPoint(424, 100), QPoint(424, 308));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(-1.25f, 2.9389263f, -3.8471044f), 1e-4f);
        QVERIFY(std::fabs(s.controller->property("distance").toFloat() - 5) < 1e-4f);
        // The camera itself looks at the target: it sits 5 ahead on the view axis.
        QCOMPARE_VEC(s.camera->viewMatrix().map(QVector3D(0, 0, 0)), QVector3D(0, 0, 5), 1e-3f);
    }

    void pitchStopsAtTheVertical() {
        OrbitScene s;
        QVERIFY(s.ok());
        // Two drags of 440 pixels down (76 degrees each) in steps of 40 pixels (7.2 degrees).
        float highest = -1;
        for (int pass = 0; pass < 2; ++pass) {
            QTest::mousePress(&s.window(), Qt::LeftButton, Qt::NoModifier, QPoint(320, 10));
            for (int y = 50; y <= 450; y += 40) {
                QTest::mouseMove(&s.window(), QPoint(320, y));
                highest = std::max(highest, s.vector("cameraPosition").y());
                QVERIFY(s.vector("eulerAngles").x() <= 90.0f);
            }
            QTest::mouseRelease(&s.window(), Qt::LeftButton, Qt::NoModifier, QPoint(320, 450));
        }
        QCOMPARE(s.vector("eulerAngles").x(), 90.0f);
        // Straight above the target, never beyond it.
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, 5, 0), 1e-4f);
        QVERIFY(highest <= 5.0001f);
        // Looking straight down still gives a usable view: the target 5 ahead.
        QCOMPARE_VEC(s.camera->viewMatrix().map(QVector3D(0, 0, 0)), QVector3D(0, 0, 5), 1e-3f);
        // Back up: three drags of 470 pixels (81 degrees each) go far beyond -90 degrees.
        for (int pass = 0; pass < 3; ++pass)
            drag(s.window(), Qt::LeftButton, QPoint(320, 470), QPoint(320, 0), 10);
        QCOMPARE(s.vector("eulerAngles").x(), -90.0f);
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, -5, 0), 1e-4f);
    }

    void rightDragPansCameraAndTarget() {
        OrbitScene s;
        QVERIFY(s.ok());
        // 64 pixels left and 48 down at distance 5 with a 45 degree field of view:
        // dx = 64 * 2 / 640 * 5 * tan(22.5) * 640 / 480, dy = -48 * 2 / 480 * 5 * tan(22.5).
        QTest::mousePress(&s.window(), Qt::RightButton, Qt::NoModifier, QPoint(320, 240));
        QVERIFY(s.controller->property("isRightButtonPressed").toBool());
        QTest::mouseMove(&s.window(), QPoint(288, 264));
        QTest::mouseMove(&s.window(), QPoint(256, 288));
        QTest::mouseRelease(&s.window(), Qt::RightButton, Qt::NoModifier, QPoint(256, 288));
        QVERIFY(!s.controller->property("isRightButtonPressed").toBool());
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0.5522847f, 0.4142136f, -5), 1e-4f);
        QCOMPARE_VEC(s.vector("targetPosition"), QVector3D(0.5522847f, 0.4142136f, 0), 1e-4f);
        // While following, the right button does not pan.
        s.controller->setProperty("isCameraFolowing", true);
        drag(s.window(), Qt::RightButton, QPoint(320, 240), QPoint(100, 100));
        QCOMPARE_VEC(s.vector("targetPosition"), QVector3D(0.5522847f, 0.4142136f, 0), 1e-4f);
    }

    // A pan keeps the view direction, so the orbit that follows starts from where the camera
    // is: four pixels (0.69 degrees at distance 5) move it by 0.06, and target and distance stay.
    void panThenOrbitContinuesFromTheView() {
        OrbitScene s;
        QVERIFY(s.ok());
        s.controller->setProperty("cameraPosition", QVector3D(3, 0, -4));
        drag(s.window(), Qt::RightButton, QPoint(320, 240), QPoint(288, 240));
        const QVector3D target = s.vector("targetPosition");
        const QVector3D camera = s.vector("cameraPosition");
        QCOMPARE_VEC(camera - target, QVector3D(3, 0, -4), 1e-4f);
        drag(s.window(), Qt::LeftButton, QPoint(320, 240), QPoint(324, 240));
        QCOMPARE_VEC(s.vector("targetPosition"), target, 1e-4f);
        QVERIFY(std::fabs(s.controller->property("distance").toFloat() - 5) < 1e-4f);
        QCOMPARE_VEC(s.vector("cameraPosition"), camera, 0.1f);
    }

    void wheelScalesTheDistance() {
        OrbitScene s;
        QVERIFY(s.ok());
        wheel(s.window(), QPoint(320, 240), QPoint(0, 120));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, 0, -4), 1e-4f);
        QCOMPARE(s.controller->property("wheels").toInt(), 1);
        // Two notches back: 4 / 0.8^2 = 6.25.
        wheel(s.window(), QPoint(320, 240), QPoint(0, -240));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, 0, -6.25f), 1e-4f);
        QCOMPARE_VEC(s.camera->viewMatrix().map(QVector3D(0, 0, 0)), QVector3D(0, 0, 6.25f), 1e-3f);
        // With the modifier flag 0x08000000 (Alt) the horizontal delta counts instead.
        wheel(s.window(), QPoint(320, 240), QPoint(120, 0), Qt::AltModifier);
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, 0, -5), 1e-4f);
        wheel(s.window(), QPoint(320, 240), QPoint(120, 0));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(0, 0, -5), 1e-4f);
    }

    void panFitsTheDefaultRegionToTheWindow() {
        PanScene s;
        QVERIFY(s.ok());
        // 1280 x 480: the height limits, one world unit a pixel.
        QCOMPARE(s.controller->property("scale").toDouble(), 1.0);
        QCOMPARE_VEC(s.camera->pixelToWorld(1280, 480), QVector3D(640, -240, 0), 1e-3f);
        // 1280 x 960: two pixels a unit, and the 640 x 480 region still fills the height.
        s.window().resize(1280, 960);
        QTRY_COMPARE(s.controller->property("scale").toDouble(), 0.5);
        QCOMPARE_VEC(s.camera->pixelToWorld(640, 0), QVector3D(0, 240, 0), 1e-3f);
        QCOMPARE_VEC(s.camera->pixelToWorld(1280, 480), QVector3D(320, 0, 0), 1e-3f);
    }

    void dragKeepsTheGrabbedPointUnderTheCursor() {
        PanScene s;
        QVERIFY(s.ok());
        const QVector3D grabbed = s.camera->pixelToWorld(600, 200);
        QCOMPARE_VEC(grabbed, QVector3D(-40, 40, 0), 1e-3f);
        drag(s.window(), Qt::LeftButton, QPoint(600, 200), QPoint(500, 250));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(100, 50, 0), 1e-4f);
        QCOMPARE_VEC(s.camera->pixelToWorld(500, 250), grabbed, 1e-3f);
        // Any button drags.
        drag(s.window(), Qt::MiddleButton, QPoint(500, 250), QPoint(520, 240));
        QCOMPARE_VEC(s.vector("cameraPosition"), QVector3D(80, 40, 0), 1e-4f);
    }

    void wheelZoomsAroundTheCursor() {
        PanScene s;
        QVERIFY(s.ok());
        // Four notches up at the centre halve the scale; the centre stays.
        for (int i = 0; i < 4; ++i)
            wheel(s.window(), QPoint(640, 240), QPoint(0, 120));
        QVERIFY(std::fabs(s.controller->property("scale").toDouble() - 0.5) < 1e-9);
        QCOMPARE_VEC(s.camera->pixelToWorld(640, 240), QVector3D(0, 0, 0), 1e-3f);
        QCOMPARE_VEC(s.camera->pixelToWorld(1280, 240), QVector3D(320, 0, 0), 1e-3f);
        // One notch down at (1000, 100): scale 0.5 * 2^(1/4), the world point there stays.
        const QVector3D under = s.camera->pixelToWorld(1000, 100);
        wheel(s.window(), QPoint(1000, 100), QPoint(0, -120));
        QVERIFY(std::fabs(s.controller->property("scale").toDouble() - 0.5946035575) < 1e-9);
        QCOMPARE_VEC(s.camera->pixelToWorld(1000, 100), under, 1e-3f);
    }

    void rightDoubleClickResets() {
        PanScene s;
        QVERIFY(s.ok());
        drag(s.window(), Qt::LeftButton, QPoint(600, 200), QPoint(500, 250));
        wheel(s.window(), QPoint(100, 100), QPoint(0, 360));
        QVERIFY(s.controller->property("scale").toDouble() < 0.6);
        // A left double click changes nothing.
        QTest::mouseDClick(&s.window(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
        QVERIFY(s.controller->property("scale").toDouble() < 0.6);
        QTest::mouseDClick(&s.window(), Qt::RightButton, Qt::NoModifier, QPoint(300, 300));
        QCOMPARE(s.controller->property("scale").toDouble(), 1.0);
        QCOMPARE_VEC(s.camera->pixelToWorld(640, 240), QVector3D(0, 0, 0), 1e-3f);
        // The zoom steps start again from the fitted scale: four notches halve it.
        for (int i = 0; i < 4; ++i)
            wheel(s.window(), QPoint(640, 240), QPoint(0, 120));
        QVERIFY(std::fabs(s.controller->property("scale").toDouble() - 0.5) < 1e-9);
    }
};

QTEST_MAIN(CameraControllerTest)
#include "camera_controller_test.moc"
