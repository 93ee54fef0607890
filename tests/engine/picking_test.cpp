// The picking pass: picking renderers drawn in their identity colours into an offscreen
// target, and the renderer under a pixel read back, in windows rendered under Xvfb.
// (QML texts in raw strings must not contain a hash sign: moc then skips the file.)
#include "TestScene.h"

#include "engine/PickingMeshRenderer.h"
#include "engine/PickingPass.h"
#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QSignalSpy>
#include <QTest>

using namespace KestrelQt3DEngine;
using EngineTest::SceneView;

namespace {

// A 200 x 100 viewport with an orthographic camera at the origin (one world unit a pixel,
// world (0, 0) at pixel (100, 50)). Two 80 x 80 quads at x = -50 and x = +50, so the left one
// covers pixels x 10..90 and the right one 110..190, both y 10..90. A mouse area fills the
// viewport as the camera controllers do.
const char* const kTwoQuads = R"(
Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
    Transform { OrtogonalCamera { id: cam } }
    Transform { objectName: "leftPlace"; localPosition: Qt.vector3d(-50, 0, 1)
        PickingMeshRenderer { objectName: "left"; material: VertexColorMaterial {}
            mesh: Mesh { id: leftMesh; constructor: leftMesh.newTriangledConstructor().quad(80, 80) } } }
    Transform { objectName: "rightPlace"; localPosition: Qt.vector3d(50, 0, 2)
        PickingMeshRenderer { objectName: "right"; material: VertexColorMaterial {}
            mesh: Mesh { id: rightMesh; constructor: rightMesh.newTriangledConstructor().quad(80, 80) } } }
    MouseArea { objectName: "mouse"; anchors.fill: parent; property int presses: 0; onPressed: presses++ } } })";

// The two-quad scene shown, with its viewport and renderers.
struct TwoQuads {
    SceneView scene{kTwoQuads, 200, 100};
    Viewport* viewport = scene.find<Viewport>("viewport");
    PickingMeshRenderer* left = scene.find<PickingMeshRenderer>("left");
    PickingMeshRenderer* right = scene.find<PickingMeshRenderer>("right");
    bool ok() const { return scene.ok() && viewport && left && right; }
};

// Asks for a pick and waits for its answer.
QObject* pickAt(Viewport* viewport, qreal x, qreal y) {
    QSignalSpy picked(viewport, &Viewport::picked);
    viewport->pickAt(x, y);
    if (!picked.wait(5000))
        return reinterpret_cast<QObject*>(-1);
    return picked.first().first().value<QObject*>();
}

} // namespace

class PickingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void identityOfReadPixels() {
        const unsigned char first[4] = {7, 0, 0, 255};
        const unsigned char wide[4] = {0x01, 0x02, 0x03, 255};
        const unsigned char cleared[4] = {0, 0, 0, 0};
        const unsigned char seeThrough[4] = {7, 0, 0, 128};
        QCOMPARE(PickingPass::identityOfPixel(first), 7u);
        QCOMPARE(PickingPass::identityOfPixel(wide), 0x030201u);
        QCOMPARE(PickingPass::identityOfPixel(cleared), 0u);
        QCOMPARE(PickingPass::identityOfPixel(seeThrough), 0u);
    }

    void pickReturnsTheRendererUnderThePixel() {
        TwoQuads s;
        QVERIFY(s.ok());
        // Made in a row: identities one apart, colours one apart in red.
        QCOMPARE(s.right->pickingId(), s.left->pickingId() + 1);
        QCOMPARE(s.right->pickingColor(), PickingMeshRenderer::colorOfId(unsigned(s.left->pickingId()) + 1));
        QCOMPARE(s.viewport->pickingRenderers().size(), 2);

        QCOMPARE(pickAt(s.viewport, 50, 50), s.left);
        QCOMPARE(pickAt(s.viewport, 150, 50), s.right);
        // The edges of the left quad: pixel 10 is inside, pixel 9 and the gap are not.
        QCOMPARE(pickAt(s.viewport, 10.5, 50), s.left);
        QCOMPARE(pickAt(s.viewport, 89.5, 89.5), s.left);
        QCOMPARE(pickAt(s.viewport, 8.5, 50), nullptr);
        QCOMPARE(pickAt(s.viewport, 100, 50), nullptr);
        QCOMPARE(pickAt(s.viewport, 150, 95), nullptr);
        // Outside the viewport.
        QCOMPARE(pickAt(s.viewport, -5, 50), nullptr);
        QCOMPARE(pickAt(s.viewport, 150, 100), nullptr);
        // The normal picture is unchanged by the pass: vertex colour black quads on black,
        // and the pass leaves no identity colour behind.
        const QImage image = s.scene.grab();
        QCOMPARE(image.pixelColor(50, 50), QColor(0, 0, 0));
    }

    void nearerRendererWinsAndDisabledOnesAreSkipped() {
        TwoQuads s;
        QVERIFY(s.ok());
        // The right quad moves over the left one, behind it (z 2 against 1)...
        s.scene.find<Transform>("rightPlace")->setLocalPosition(QVector3D(-40, 0, 2));
        QCOMPARE(pickAt(s.viewport, 50, 50), s.left);
        // ...where only it lies, it is found...
        QCOMPARE(pickAt(s.viewport, 95, 50), s.right);
        // ...and in front of it (z 0.5) it wins, although it is drawn first.
        s.scene.find<Transform>("rightPlace")->setLocalPosition(QVector3D(-40, 0, 0.5f));
        QCOMPARE(pickAt(s.viewport, 50, 50), s.right);
        s.right->setEnabled(false);
        QCOMPARE(pickAt(s.viewport, 50, 50), s.left);
    }

    void pressOnAChildPicks() {
        TwoQuads s;
        QVERIFY(s.ok());
        QSignalSpy picked(s.viewport, &Viewport::picked);
        QTest::mouseClick(&s.scene.view(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 30));
        QTRY_COMPARE(picked.count(), 1);
        QCOMPARE(picked.first().first().value<QObject*>(), s.right);
        // The press still reached the mouse area.
        QCOMPARE(s.scene.find<QQuickItem>("mouse")->property("presses").toInt(), 1);
        QCOMPARE(s.viewport->lastPressPosition(), QPointF(150, 100 - 30 - 1));
    }

    void targetFollowsTheViewportSize() {
        TwoQuads s;
        QVERIFY(s.ok());
        QCOMPARE(pickAt(s.viewport, 150, 50), s.right);
        // 400 wide: world (0, 0) is now at pixel (200, 50); the right quad covers 210..290.
        s.scene.view().resize(400, 100);
        QTRY_COMPARE(s.viewport->width(), 400.0);
        QCOMPARE(pickAt(s.viewport, 250, 50), s.right);
        QCOMPARE(pickAt(s.viewport, 150, 50), s.left);
        QCOMPARE(pickAt(s.viewport, 350, 50), nullptr);
    }

    void withoutCameraNothingIsPicked() {
        SceneView scene(R"(
Item { Viewport { objectName: "viewport"; anchors.fill: parent
    PickingMeshRenderer { material: VertexColorMaterial {}
        mesh: Mesh { id: m; constructor: m.newTriangledConstructor().quad(1000, 1000) } } } })", 100, 100);
        QVERIFY(scene.ok());
        QCOMPARE(pickAt(scene.find<Viewport>("viewport"), 50, 50), nullptr);
    }
};

QTEST_MAIN(PickingTest)
#include "picking_test.moc"
