// Scenes destroyed in every order while they render: nothing may touch a destroyed object
// (run under ASan as well).
#include "TestScene.h"

#include "engine/Material.h"
#include "engine/Mesh.h"
#include "engine/MeshRenderer.h"
#include "engine/OGLTexture.h"
#include "engine/OrthogonalCamera.h"
#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QTest>

using namespace KestrelQt3DEngine;
using EngineTest::SceneView;

namespace {

const char* const kScene = R"(Item {
    Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam; renderOnDemand: true
        Transform { objectName: "cameraTransform"; OrtogonalCamera { id: cam; objectName: "camera" } }
        OGLTexture { id: tex; objectName: "texture"
            constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(1, 1)).setData([1, 1, 1, 1]) }
        TextureMaterial { id: mat; objectName: "material"; texture: tex }
        Transform { objectName: "outer"
            Transform { objectName: "inner"; localPosition: Qt.vector3d(1, 0, 0)
                MeshRenderer { objectName: "renderer"
                    mesh: Mesh { id: quadMesh; objectName: "mesh"; constructor: quadMesh.newTriangledConstructor().quad(40, 40) }
                    material: mat }
                Transform { objectName: "leaf" } } }
        MeshRenderer { objectName: "transparent"
            mesh: Mesh { id: lines; constructor: lines.newLinedConstructor().line(Qt.vector3d(-20, 0, 0), Qt.vector3d(20, 0, 0)) }
            material: VertexColorAlphaMaterial {} }
    } })";

} // namespace

class LifetimeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void destroyInOrder_data() {
        QTest::addColumn<QStringList>("order");
        QTest::newRow("viewport first") << QStringList{"viewport"};
        QTest::newRow("outer transform first") << QStringList{"outer", "viewport"};
        QTest::newRow("inner, then outer") << QStringList{"inner", "outer"};
        QTest::newRow("leaf, renderer, inner") << QStringList{"leaf", "renderer", "inner"};
        QTest::newRow("mesh before renderer") << QStringList{"mesh", "renderer"};
        QTest::newRow("material before renderer") << QStringList{"material", "renderer"};
        QTest::newRow("texture before material") << QStringList{"texture", "material"};
        QTest::newRow("camera, then its transform") << QStringList{"camera", "cameraTransform"};
        QTest::newRow("camera transform before camera") << QStringList{"cameraTransform"};
        QTest::newRow("transparent renderer first") << QStringList{"transparent", "viewport"};
    }
    void destroyInOrder() {
        QFETCH(QStringList, order);
        SceneView scene(kScene);
        QVERIFY(scene.ok());
        QVERIFY(!scene.grab().isNull());
        for (const QString& name : order) {
            QObject* object = scene.root()->findChild<QObject*>(name);
            QVERIFY2(object, qPrintable(name));
            delete object;
            // Whatever is left still reacts to changes and still renders.
            if (auto* outer = scene.root()->findChild<Transform*>("outer"))
                outer->setLocalPosition(QVector3D(3, 2, 1));
            if (auto* viewport = scene.root()->findChild<Viewport*>("viewport"))
                viewport->update();
            QTest::qWait(20);
            QVERIFY(!scene.grab().isNull());
        }
    }

    // Closing a scene takes the viewport down before its textures; the texture, already in
    // OpenGL, must still be destroyed where its context is current, not left to the toolkit,
    // which then says so ("... called without a current context").
    void textureOfAClosedSceneIsDestroyedOnTheRenderThread() {
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            warnings << text;
        });
        SceneView scene(kScene);
        QVERIFY(scene.ok());
        QVERIFY(!scene.grab().isNull());  // the texture is created in the window's context
        delete scene.root()->findChild<QObject*>("viewport");
        QTest::qWait(50);
        QVERIFY(!scene.grab().isNull());  // a frame runs the window's pending jobs
        qInstallMessageHandler(previous);
        for (const QString& text : warnings)
            QVERIFY2(!text.contains("without a current context"), qPrintable(text));
    }

    // One texture under two uniforms of one material and in the materials of two renderers:
    // its OpenGL object is released once when it goes before its viewport (ASan runs this).
    void sharedTextureDestroyedBeforeItsViewport() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; objectName: "texture"
                constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(1, 1)).setData([1, 1, 1, 1]) }
            TextureMaterial { id: single; texture: tex }
            MeshRenderer { mesh: Mesh { id: left; constructor: left.newTriangledConstructor().quad(20, 20) }
                           material: single }
            Transform { localPosition: Qt.vector3d(20, 0, 0)
                MeshRenderer { mesh: Mesh { id: right; constructor: right.newTriangledConstructor().quad(20, 20) }
                               material: TextureMaterial { id: twice
                                   properties: twice.newMaterialProperties().setUniform("TEXTURE", tex).setUniform("SECOND", tex) } } } } })");
        QVERIFY(scene.ok());
        const QImage before = scene.grab();
        QCOMPARE(before.pixelColor(32, 32), QColor(255, 255, 255));
        QCOMPARE(before.pixelColor(52, 32), QColor(255, 255, 255));
        delete scene.find<QObject>("texture");
        QTest::qWait(50);
        // The frames that follow run the release job; the renderers go on without a texture.
        QVERIFY(!scene.grab().isNull());
        QVERIFY(!scene.grab().isNull());
    }

    void windowClosedBeforeTheScene() {
        auto* scene = new SceneView(kScene);
        QVERIFY(scene->ok());
        scene->grab();
        QPointer<Viewport> viewport = scene->root()->findChild<Viewport*>("viewport");
        QPointer<Mesh> mesh = scene->root()->findChild<Mesh*>("mesh");
        viewport->setParentItem(nullptr);  // leaves the window: no more render thread for it
        viewport->setParent(nullptr);
        delete scene;
        // The mesh's buffers and the texture now have no window to be released on.
        delete mesh.data();
        delete viewport.data();
    }

    void manyTransformsCreatedAndDestroyed() {
        Viewport viewport;
        std::vector<Transform*> chain;
        QObject* parent = &viewport;
        for (int i = 0; i < 200; ++i) {
            auto* transform = new Transform(parent);
            transform->componentComplete();
            chain.push_back(transform);
            parent = transform;
        }
        static_cast<QQmlParserStatus&>(viewport).componentComplete();
        chain.front()->setLocalPosition(QVector3D(1, 0, 0));
        QCOMPARE(chain.back()->getPosition(), QVector3D(1, 0, 0));
        // Cutting the chain in the middle takes the subtree with it and leaves no entry behind.
        delete chain[100];
        QCOMPARE(chain[99]->observerCount(), 0);
        chain.front()->setLocalPosition(QVector3D(2, 0, 0));
        QCOMPARE(chain[99]->getPosition(), QVector3D(2, 0, 0));
    }
};

QTEST_MAIN(LifetimeTest)
#include "lifetime_test.moc"
