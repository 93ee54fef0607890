// Cameras, pixel and world conversion, ray casting, anchors and picking identities. Expected
// values are worked out by hand from the projection matrices.
#include "TestScene.h"

#include "engine/Anchor2D.h"
#include "engine/MeshRenderer.h"
#include "engine/OrthogonalCamera.h"
#include "engine/PerspectiveCamera.h"
#include "engine/PickingMeshRenderer.h"
#include "engine/Raycaster.h"
#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace KestrelQt3DEngine;

namespace {

bool near(const QVector3D& a, const QVector3D& b, float tolerance = 1e-3f) { return (a - b).length() <= tolerance; }

#define QCOMPARE_VEC(actual, expected)                                                                          \
    do {                                                                                                        \
        const QVector3D a_ = (actual), e_ = (expected);                                                         \
        if (!near(a_, e_))                                                                                      \
            QFAIL(qPrintable(QString("(%1, %2, %3) != (%4, %5, %6)").arg(a_.x()).arg(a_.y()).arg(a_.z()).arg(e_.x()).arg(e_.y()).arg(e_.z()))); \
    } while (false)

} // namespace

class CameraTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void orthogonalMapping() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { width: 800; height: 600
    Transform { objectName: "t"; OrtogonalCamera { objectName: "camera" } } })"));
        QVERIFY(scene);
        auto* camera = scene->findChild<OrthogonalCamera*>("camera");
        QCOMPARE_VEC(camera->worldToPixel(QVector3D(100, 50, 0)), QVector3D(500, 250, 0));
        QCOMPARE_VEC(camera->pixelToWorld(400, 300), QVector3D(0, 0, 0));
        QCOMPARE_VEC(camera->pixelToWorld(500, 250), QVector3D(100, 50, 0));
        // Zoomed out: each pixel covers two world units.
        scene->findChild<Transform*>("t")->setLocalScale(2);
        QCOMPARE_VEC(camera->pixelToWorld(800, 300), QVector3D(800, 0, 0));
        // The projection follows the viewport size.
        qobject_cast<QQuickItem*>(scene.get())->setWidth(400);
        QCOMPARE_VEC(camera->pixelToWorld(400, 300), QVector3D(400, 0, 0));
    }

    void perspectiveProjection() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { width: 500; height: 500
    Transform { PerspectiveCamera { objectName: "camera"; fieldOfView: 90; nearPlane: 1; farPlane: 11 } } })"));
        QVERIFY(scene);
        auto* camera = scene->findChild<PerspectiveCamera*>("camera");
        const QMatrix4x4 projection = camera->projectionMatrix();
        // f = 1 / tan(45 degrees) = 1: (1, 0, 1) lands on the right edge.
        QCOMPARE_VEC(projection.map(QVector3D(1, 0, 1)), QVector3D(1, 0, 0));
        // Depth 0 at the near plane, 1 at the far plane.
        QCOMPARE_VEC(projection.map(QVector3D(0, 0, 11)), QVector3D(0, 0, 1));
        QCOMPARE_VEC(camera->worldToPixel(QVector3D(1, 0, 1)), QVector3D(500, 250, 0));
        QCOMPARE_VEC(camera->worldToPixel(QVector3D(0, 2, 4)), QVector3D(250, 125, 0));
        // The far-plane point under the top-left pixel: (-11, 11, 11).
        QCOMPARE_VEC(camera->pixelToWorld(0, 0), QVector3D(-11, 11, 11));
        QSignalSpy fov(camera, &PerspectiveCamera::filedOfViewChanged);
        camera->setFieldOfView(60);
        camera->setFieldOfView(60);
        QCOMPARE(fov.count(), 1);
        QVERIFY(std::fabs(camera->projectionMatrix()(1, 1) - 1.0f / std::tan(float(M_PI) / 6)) < 1e-5f);
    }

    void withoutViewportQueriesAnswerZero() {
        OrthogonalCamera orthogonal;
        PerspectiveCamera perspective;
        orthogonal.componentComplete();
        perspective.componentComplete();
        QCOMPARE(orthogonal.pixelToWorld(10, 10), QVector3D());
        QCOMPARE(orthogonal.worldToPixel(QVector3D(1, 2, 3)), QVector3D());
        QCOMPARE(perspective.pixelToWorld(10, 10), QVector3D());
        QCOMPARE(perspective.cameraDepth(3), 0.0f);
    }

    void viewportDestroyedFirst() {
        auto* viewport = new Viewport;
        viewport->setSize(QSizeF(100, 100));
        OrthogonalCamera camera;
        camera.setParent(viewport);
        camera.componentComplete();
        camera.setParent(nullptr);
        QVERIFY(camera.viewport() == viewport);
        delete viewport;
        QCOMPARE(camera.viewport(), nullptr);
        QCOMPARE(camera.pixelToWorld(50, 50), QVector3D());
    }

    void viewMatrixFollowsTheTransform() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { width: 100; height: 100
    Transform { objectName: "t"; PerspectiveCamera { objectName: "camera" } } })"));
        QVERIFY(scene);
        auto* camera = scene->findChild<PerspectiveCamera*>("camera");
        auto* transform = scene->findChild<Transform*>("t");
        transform->setLocalPosition(QVector3D(0, 0, -5));
        QCOMPARE_VEC(camera->viewMatrix().map(QVector3D(0, 0, 0)), QVector3D(0, 0, 5));
        QCOMPARE(camera->cameraDepth(2), 7.0f);
    }

    void intersectTriangleByHand() {
        Ray ray{QVector3D(0.25f, 0.25f, -1), QVector3D(0, 0, 1)};
        float t = 0;
        QVERIFY(intersectTriangle(ray, QVector3D(0, 0, 2), QVector3D(1, 0, 2), QVector3D(0, 1, 2), t));
        QCOMPARE(t, 3.0f);
        ray.origin = QVector3D(0.75f, 0.75f, -1);  // beyond the hypotenuse
        QVERIFY(!intersectTriangle(ray, QVector3D(0, 0, 2), QVector3D(1, 0, 2), QVector3D(0, 1, 2), t));
        ray.origin = QVector3D(0.25f, 0.25f, 3);  // triangle behind the origin
        QVERIFY(!intersectTriangle(ray, QVector3D(0, 0, 2), QVector3D(1, 0, 2), QVector3D(0, 1, 2), t));
        ray.direction = QVector3D(1, 0, 0);  // parallel to the plane
        QVERIFY(!intersectTriangle(ray, QVector3D(0, 0, 2), QVector3D(1, 0, 2), QVector3D(0, 1, 2), t));
    }

    void raycasterHitsTriangleMeshes_data() {
        QTest::addColumn<QByteArray>("camera");
        QTest::newRow("perspective") << QByteArray("PerspectiveCamera { id: cam }");
        QTest::newRow("orthogonal") << QByteArray("OrtogonalCamera { id: cam }");
    }
    void raycasterHitsTriangleMeshes() {
        QFETCH(QByteArray, camera);
        QQmlEngine engine;
        const QByteArray body = "Viewport { width: 200; height: 200\n Transform { localPosition: Qt.vector3d(0, 0, -10); " + camera + R"( }
    Raycaster { objectName: "caster"; camera: cam }
    Transform { localPosition: Qt.vector3d(30, 0, 0)
        MeshRenderer { objectName: "quad"
            mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(20, 20) } } }
    MeshRenderer { objectName: "lines"
        mesh: Mesh { id: lineMesh; constructor: lineMesh.newLinedConstructor().line(Qt.vector3d(-100, 0, 0), Qt.vector3d(100, 0, 0)) } } })";
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, body.constData()));
        QVERIFY(scene);
        auto* caster = scene->findChild<Raycaster*>("caster");
        QSignalSpy hits(caster, &Raycaster::intersectedChanged);
        // The pixel over the quad's centre (30, 0, 0).
        const QVector3D pixel = caster->camera()->worldToPixel(QVector3D(30, 0, 0));
        caster->intersectMouse(pixel.x(), pixel.y());
        QCOMPARE(hits.count(), 1);
        const auto list = hits.first().first().value<QList<QObject*>>();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first()->objectName(), QString("quad"));
        // The centre of the view: only the line mesh is there, and lines have no area.
        caster->intersectMouse(100, 100);
        QCOMPARE(hits.count(), 1);
    }

    void anchorBehindThePerspectiveCamera() {
        QMatrix4x4 projection(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 100.0f / 99.9f, -10.0f / 99.9f, 0, 0, 1, 0);
        bool visible = true;
        const QVector3D inFront = Anchor2D::project(projection, QVector3D(0.5f, 0, 5), 200, 100, visible);
        QVERIFY(visible);
        QCOMPARE_VEC(QVector3D(inFront.x(), inFront.y(), 0), QVector3D(110, 50, 0));
        Anchor2D::project(projection, QVector3D(0, 0, -5), 200, 100, visible);
        QVERIFY(!visible);
        Anchor2D::project(projection, QVector3D(50, 0, 5), 200, 100, visible);  // beyond the right edge
        QVERIFY(!visible);
    }

    void anchorInALiveScene() {
        EngineTest::SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { localPosition: Qt.vector3d(0, 0, -10); PerspectiveCamera { id: cam } }
            Anchor2D { objectName: "front"; position: Qt.vector3d(0, 0, 0) }
            Anchor2D { objectName: "behind"; position: Qt.vector3d(0, 0, -20) } } })", 100, 100);
        QVERIFY(scene.ok());
        auto* front = scene.find<Anchor2D>("front");
        auto* behind = scene.find<Anchor2D>("behind");
        QSignalSpy projected(front, &Anchor2D::positionProjectedChanged);
        scene.grab();
        QTRY_VERIFY(projected.count() > 0);
        QVERIFY(front->isVisible());
        QCOMPARE_VEC(QVector3D(front->positionProjected().x(), front->positionProjected().y(), 0), QVector3D(50, 50, 0));
        QVERIFY(!behind->isVisible());
        QCOMPARE(front->parentItem(), scene.find<Viewport>("viewport"));
        // Destroyed before the viewport: it leaves the renderable list.
        const int before = scene.find<Viewport>("viewport")->opaqueRenderables().size();
        delete behind;
        QCOMPARE(scene.find<Viewport>("viewport")->opaqueRenderables().size(), before - 1);
        scene.find<Viewport>("viewport")->update();
        scene.grab();
    }

    void pickingIdentitiesDifferByOne() {
        PickingMeshRenderer first, second;
        QCOMPARE(second.pickingId(), first.pickingId() + 1);
        QCOMPARE(second.pickingColor().red(), (first.pickingColor().red() + 1) % 256);
        QCOMPARE(first.pickingColor().alpha(), 255);
        QCOMPARE(PickingMeshRenderer::colorOfId(0x030201), QColor(1, 2, 3, 255));
        QCOMPARE(PickingMeshRenderer::colorOfId(0x1FF), QColor(255, 1, 0, 255));
        QVERIFY(first.pickingShader());
    }

    void pickingRendererJoinsThePickingList() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { PickingMeshRenderer { objectName: "picking" } })"));
        QVERIFY(scene);
        auto* viewport = qobject_cast<Viewport*>(scene.get());
        QCOMPARE(viewport->pickingRenderers().size(), 1);
        QCOMPARE(viewport->opaqueRenderables().size(), 1);
        delete scene->findChild<PickingMeshRenderer*>("picking");
        QCOMPARE(viewport->pickingRenderers().size(), 0);
        QCOMPARE(viewport->opaqueRenderables().size(), 0);
    }

    void blendingRendererIsTransparent() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(
Viewport { MeshRenderer { objectName: "alpha"; material: VertexColorAlphaMaterial {} }
           MeshRenderer { objectName: "solid"; material: VertexColorMaterial {} } })"));
        QVERIFY(scene);
        auto* viewport = qobject_cast<Viewport*>(scene.get());
        QVERIFY(scene->findChild<MeshRenderer*>("alpha")->isTransparent());
        QVERIFY(!scene->findChild<MeshRenderer*>("solid")->isTransparent());
        QCOMPARE(viewport->transparentRenderables().size(), 1);
        QCOMPARE(viewport->opaqueRenderables().size(), 1);
    }
};

QTEST_MAIN(CameraTest)
#include "camera_test.moc"
