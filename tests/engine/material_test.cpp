// Materials, shaders, uniforms and textures, checked on rendered pixels.
// (QML texts in raw strings must not contain a hash sign: moc then skips the file.)
#include "MaterialScenes.h"
#include "TestScene.h"

#include "engine/Material.h"
#include "engine/MaterialProperties.h"
#include "engine/Mesh.h"
#include "engine/MeshRenderer.h"
#include "engine/OGLTexture.h"
#include "engine/Registration.h"
#include "engine/TextureConstructors.h"
#include "engine/Viewport.h"
#include "interface_contract/DebugLog.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace KestrelQt3DEngine;
using EngineTest::SceneView;

namespace {

struct LogCapture {
    QStringList lines;
    LogCapture() {
        Kestrel::setDebugLogSink([this](const std::string& line) { lines.append(QString::fromStdString(line)); });
    }
    ~LogCapture() { Kestrel::setDebugLogSink(nullptr); }
};

} // namespace

class MaterialTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    // GAIN comes from a real property: a JS number literal with no fraction reaches C++ as an
    // int and would be set as an integer uniform.
    void colourNamedByAStringIsAVec4() {
        const QByteArray body = quadScene((QByteArray("Material { id: mat; shader: ") + kUniformColorShader +
                                           "\n property real gain: 1\n properties: mat.newMaterialProperties().setUniform(\"COLOR\", \"red\").setUniform(\"GAIN\", mat.gain)"
                                           ".setUniform(\"LEVEL\", 0).setUniform(\"USE_TINT\", false) }").constData());
        SceneView scene(body.constData());
        QVERIFY(scene.ok());
        const QImage image = scene.grab();
        QCOMPARE(image.pixelColor(32, 32), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(4, 4), QColor(0, 0, 0));  // outside the 32 x 32 quad
    }

    void uniformsByType() {
        const QByteArray body = quadScene((QByteArray("Material { id: mat; shader: ") + kUniformColorShader +
                                           "\n properties: mat.newMaterialProperties().setUniform(\"COLOR\", Qt.rgba(1, 0, 1, 1)).setUniform(\"GAIN\", 0.5)"
                                           ".setUniform(\"LEVEL\", 200).setUniform(\"USE_TINT\", false).setUniform(\"UNKNOWN\", 3) }").constData());
        SceneView scene(body.constData());
        QVERIFY(scene.ok());
        const QColor colour = scene.grab().pixelColor(32, 32);
        QVERIFY2(qAbs(colour.red() - 128) <= 1 && colour.green() == 200 && qAbs(colour.blue() - 128) <= 1,
                 qPrintable(colour.name()));

        auto* material = scene.root()->findChild<MeshRenderer*>("renderer")->material();
        material->properties()->setUniform("USE_TINT", true)->setUniform("TINT", QVector3D(0, 1, 1));
        material->setProperties(material->properties());
        QTRY_COMPARE(scene.grab().pixelColor(32, 32), QColor(0, 255, 255));
    }

    void reassignedPropertiesSignal() {
        Material material;
        MaterialProperties* properties = material.newMaterialProperties();
        QCOMPARE(properties->parent(), &material);
        QSignalSpy changed(&material, &Material::propertiesChanged);
        material.setProperties(properties);
        material.setProperties(properties);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(material.properties(), properties);
    }

    void brokenVertexShaderLogsOnceAndNeverDraws() {
        LogCapture log;
        SceneView scene(quadScene(R"(Material { id: mat; properties: mat.newMaterialProperties()
            shader: Shader { vertexShaderCode: "void main() { this is not glsl }"
                             fragmentShaderCode: "void main() { gl_FragColor = vec4(1.0); }" } })").constData());
        QVERIFY(scene.ok());
        for (int frame = 0; frame < 3; ++frame) {
            scene.find<Viewport>("viewport")->update();
            QCOMPARE(scene.grab().pixelColor(32, 32), QColor(0, 0, 0));
        }
        QCOMPARE(log.lines.filter("Shader error: ").size(), 1);
        QCOMPARE(log.lines.filter("Shader error: ").first(), QString("Shader error: add vertex shader fail"));
    }

    void brokenLinkIsReported() {
        LogCapture log;
        SceneView scene(quadScene(R"(Material { id: mat; properties: mat.newMaterialProperties()
            shader: Shader { vertexShaderCode: "void main() { gl_Position = vec4(0.0); }"
                             fragmentShaderCode: "void helper();\nvoid main() { helper(); gl_FragColor = vec4(1.0); }" } })").constData());
        QVERIFY(scene.ok());
        scene.grab();
        QCOMPARE(log.lines.filter("Shader error: ").value(0), QString("Shader error: link gl program fail"));
    }

    // A grey-scale image of bytes drawn through a textured quad filling the viewport comes back
    // byte for byte: row 0 at the top with flipY, at the bottom without.
    void greyTextureReproducesItsBytes_data() {
        QTest::addColumn<bool>("flipY");
        QTest::newRow("flipY") << true;
        QTest::newRow("no flip") << false;
    }
    void greyTextureReproducesItsBytes() {
        QFETCH(bool, flipY);
        const QByteArray body = QByteArray(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; objectName: "texture" }
            MeshRenderer {
                mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
                material: TextureMaterial { texture: tex; flipY: )") + (flipY ? "true" : "false") + " } } } }";
        SceneView scene(body.constData());
        QVERIFY(scene.ok());
        auto* texture = scene.root()->findChild<OGLTexture*>("texture");
        BytesTextureConstructor* bytes = texture->newBytesTextureConstructor();
        QByteArray pixels(64 * 64, 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                pixels[y * 64 + x] = char((x * 3 + y * 7) % 256);
        bytes->setTextureSize(QSize(64, 64))->setTextureFormat(0x8229)->setTexturePixelFormat(0x1903)->setTexturePixelType(0x1401);
        bytes->setData(pixels.constData(), pixels.size());
        texture->setTextureConstructor(bytes);
        scene.find<Viewport>("viewport")->update();
        const QImage image = scene.grab();
        int wrong = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int row = flipY ? y : 63 - y;
                const int expected = (x * 3 + row * 7) % 256;
                const QColor c = image.pixelColor(x, y);
                if (c.red() != expected || c.green() != expected || c.blue() != expected)
                    ++wrong;
            }
        QCOMPARE(wrong, 0);
    }

    void textureRebuildsAfterInvalidate() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; objectName: "texture"
                constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(1, 1)).setData([0.25, 0, 0, 1]) }
            MeshRenderer {
                mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
                material: TextureMaterial { texture: tex } } } })");
        QVERIFY(scene.ok());
        QCOMPARE(scene.grab().pixelColor(32, 32).red(), 64);
        auto* texture = scene.root()->findChild<OGLTexture*>("texture");
        auto* rgba = qobject_cast<RgbaTextureConstructor*>(texture->textureConstructor());
        QVERIFY(rgba);
        rgba->setData(QVariantList{1.0, 0, 0, 1});
        QCOMPARE(scene.grab().pixelColor(32, 32).red(), 64);  // not rebuilt yet
        texture->invalidate();
        scene.find<Viewport>("viewport")->update();
        QCOMPARE(scene.grab().pixelColor(32, 32).red(), 255);
    }

    // A uniform given the same texture again does not list it again; a second uniform does.
    void textureIsListedOncePerUniform() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(1, 1)).setData([1, 0, 0, 1]) }
            MeshRenderer { objectName: "renderer"
                mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
                material: TextureMaterial { id: mat; texture: tex } } } })");
        QVERIFY(scene.ok());
        MaterialProperties* properties = scene.root()->findChild<MeshRenderer*>("renderer")->material()->properties();
        QCOMPARE(properties->textures().size(), 1);
        const QVariant texture = QVariant::fromValue<QObject*>(properties->textures().first());
        properties->setUniform("TEXTURE", texture);
        QCOMPARE(properties->textures().size(), 1);
        QCOMPARE(properties->uniforms().count("TEXTURE"), 1);
        properties->setUniform("SECOND", texture);
        QCOMPARE(properties->textures().size(), 2);
        properties->setUniform("SECOND", 1.0);
        QCOMPARE(properties->textures().size(), 1);
        QCOMPARE(scene.grab().pixelColor(32, 32), QColor(255, 255, 255));
    }

    // Bindings that re-evaluate for hours keep nothing they replace: the stock material and
    // mesh reuse their one part, and a part a scene's own binding makes anew on every change is
    // freed by the QML collector once replaced.
    void bindingChangesKeepNoReplacedParts() {
        QQmlEngine engine;
        std::unique_ptr<QObject> scene(EngineTest::createObject(engine, R"(Viewport { property int n: 0
            OGLTexture { id: tex }
            TextureMaterial { objectName: "stock"; texture: tex; flipY: n % 2 === 1 }
            SphereMesh { objectName: "sphere"; radius: 1 + n % 3; xSegmentsCount: 4; ySegmentsCount: 4 }
            Material { id: own; objectName: "own"; properties: own.newMaterialProperties().setUniform("n", n) }
            Mesh { id: mesh; objectName: "mesh"; constructor: mesh.newLinedConstructor().ray(Qt.vector3d(n, 0, 0)) } })"));
        QVERIFY(scene);
        auto* own = scene->findChild<Material*>("own");
        auto* mesh = scene->findChild<Mesh*>("mesh");
        QVector<QPointer<QObject>> replaced;
        for (int n = 1; n <= 100; ++n) {
            replaced << own->properties() << mesh->meshConstructor();
            scene->setProperty("n", n);
        }
        engine.collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(std::count_if(replaced.begin(), replaced.end(), [](const QPointer<QObject>& part) { return !part.isNull(); }), 0);
        QCOMPARE(own->properties()->uniforms().value("n").toInt(), 100);
        QCOMPARE(mesh->meshConstructor()->vertexCount(), 2);

        auto* stock = scene->findChild<Material*>("stock");
        QCOMPARE(stock->findChildren<MaterialProperties*>().size(), 1);
        QCOMPARE(stock->properties()->textures().size(), 1);
        QCOMPARE(stock->properties()->uniforms().value("flipY").toBool(), false);
        QCOMPARE(scene->findChild<Mesh*>("sphere")->findChildren<BasicMeshConstructor*>().size(), 1);
    }

    void rgbaDataConversion() {
        RgbaTextureConstructor rgba;
        rgba.setData(QVariantList{1, "2.5", "x", 4.0});
        QCOMPARE(rgba.data(), (QVector<float>{1.0f, 2.5f, 0.0f, 4.0f}));
        rgba.setData(QVariant(42));  // not a list: ignored
        QCOMPARE(rgba.data().size(), 4);
        BytesTextureConstructor bytes;
        bytes.setData(QVariant(QString("not bytes")));
        QVERIFY(bytes.data().isEmpty());
        bytes.setData(QVariant(QByteArray("\x01\x02", 2)));
        QCOMPARE(bytes.data().size(), 2);
    }

    // Data shorter than the size calls for are padded, never read past their end (ASan runs
    // this too); the missing texels read as zero.
    void shortTextureDataIsPadded() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; objectName: "texture" }
            MeshRenderer {
                mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
                material: TextureMaterial { texture: tex } } } })");
        QVERIFY(scene.ok());
        auto* texture = scene.root()->findChild<OGLTexture*>("texture");
        BytesTextureConstructor* bytes = texture->newBytesTextureConstructor();
        bytes->setTextureSize(QSize(64, 64))->setTextureFormat(0x8229)->setTexturePixelFormat(0x1903)->setTexturePixelType(0x1401);
        const QByteArray row(64, char(200));
        bytes->setData(row.constData(), row.size());  // one row of 64
        texture->setTextureConstructor(bytes);
        const QImage image = scene.grab();
        QCOMPARE(image.pixelColor(10, 63).red(), 200);  // row 0 is at the bottom without flipY
        QCOMPARE(image.pixelColor(10, 10).red(), 0);
    }

    void destroyedTextureAndMeshGoToTheRenderThread() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam
            Transform { OrtogonalCamera { id: cam } }
            OGLTexture { id: tex; objectName: "texture"
                constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(1, 1)).setData([1, 1, 1, 1]) }
            MeshRenderer { objectName: "renderer"
                mesh: Mesh { id: quadMesh; objectName: "mesh"; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
                material: TextureMaterial { texture: tex } } } })");
        QVERIFY(scene.ok());
        QCOMPARE(scene.grab().pixelColor(32, 32), QColor(255, 255, 255));
        auto* texture = scene.root()->findChild<OGLTexture*>("texture");
        QSignalSpy destroyedTexture(texture, &OGLTexture::textureDestroyed);
        delete texture;
        QCOMPARE(destroyedTexture.count(), 1);
        QVERIFY(destroyedTexture.first().first().value<QOpenGLTexture*>() != nullptr);
        delete scene.root()->findChild<Mesh*>("mesh");
        // The queued deletion reaches the viewport, the jobs run after the next frame; the
        // renderer has lost its mesh and texture and draws nothing.
        QTest::qWait(50);
        QCOMPARE(scene.grab().pixelColor(32, 32), QColor(0, 0, 0));
        QCOMPARE(scene.grab().pixelColor(32, 32), QColor(0, 0, 0));
    }
};

QTEST_MAIN(MaterialTest)
#include "material_test.moc"
