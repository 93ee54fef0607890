// The stock materials of the import folder, checked on rendered pixels. Expected colours are
// worked out by hand from each material's colour rule (blending, Phong terms, screen offsets).
// (QML texts in raw strings must not contain a hash sign: moc then skips the file.)
#include "TestScene.h"

#include "engine/MeshRenderer.h"
#include "engine/OGLTexture.h"
#include "engine/Registration.h"
#include "engine/TextureConstructors.h"
#include "engine/Viewport.h"

#include <QTest>

using namespace KestrelQt3DEngine;
using EngineTest::SceneView;

namespace {

// A 64 x 64 viewport (one world unit a pixel, origin at the centre) with a clear colour and one
// 32 x 32 quad of the given vertex colour drawn with the given material.
QByteArray quadWith(const char* clearColor, const char* vertexColor, const char* material) {
    return QByteArray(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam; clearColor: ")") +
           clearColor + R"("
    Transform { OrtogonalCamera { id: cam } }
    MeshRenderer { objectName: "renderer"
        mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(32, 32, ")" + vertexColor + R"(") }
        material: )" + material + " } } }";
}

bool closeTo(const QColor& actual, const QColor& expected, int tolerance = 1) {
    return qAbs(actual.red() - expected.red()) <= tolerance && qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

#define QCOMPARE_COLOR(actual, expected)                                                                  \
    do {                                                                                                  \
        const QColor a_ = (actual), e_ = (expected);                                                      \
        QVERIFY2(closeTo(a_, e_), qPrintable(QString("%1 != %2").arg(a_.name()).arg(e_.name())));      \
    } while (false)

// Lit pixels (red above 64) on rows y0..y1 of one column range: the horizontal extent of what
// was drawn there.
int litWidth(const QImage& image, int x0, int x1, int y0, int y1) {
    int first = -1, last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (image.pixelColor(x, y).red() > 64) {
                first = first < 0 ? x : qMin(first, x);
                last = qMax(last, x);
            }
    return first < 0 ? 0 : last - first + 1;
}

} // namespace

class StockMaterialTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }

    void vertexColour() {
        SceneView scene(quadWith("black", "#3366cc", "VertexColorMaterial {}").constData());
        QVERIFY(scene.ok());
        const QImage image = scene.grab();
        QCOMPARE(image.pixelColor(32, 32), QColor(0x33, 0x66, 0xcc));
        QCOMPARE(image.pixelColor(4, 4), QColor(0, 0, 0));
        QVERIFY(!scene.find<MeshRenderer>("renderer")->isTransparent());
    }

    // The material's colour is a uniform the shader does not read: the vertex colours show.
    // A translucent colour makes the renderer a blended (transparent) one.
    void solidColourShowsTheVertexColours() {
        SceneView opaque(quadWith("black", "lime", "SolidColorMaterial { color: \"red\" }").constData());
        QVERIFY(opaque.ok());
        QCOMPARE(opaque.grab().pixelColor(32, 32), QColor(0, 255, 0));
        QVERIFY(!opaque.find<MeshRenderer>("renderer")->isTransparent());
        SceneView translucent(quadWith("black", "lime", "SolidColorMaterial { color: Qt.rgba(1, 0, 0, 0.5) }").constData());
        QVERIFY(translucent.ok());
        QCOMPARE(translucent.grab().pixelColor(32, 32), QColor(0, 255, 0));
        QVERIFY(translucent.find<MeshRenderer>("renderer")->isTransparent());
    }

    // Half-transparent red over white: (255, 255 * (1 - 128 / 255), same) = (255, 127, 127). The
    // picture stays opaque: the window's magenta behind the viewport must not show through.
    void vertexColourWithAlphaBlends() {
        SceneView scene(quadWith("white", "#80ff0000", "VertexColorAlphaMaterial {}").constData());
        QVERIFY(scene.ok());
        const QImage image = scene.grab();
        QCOMPARE_COLOR(image.pixelColor(32, 32), QColor(255, 127, 127));
        QCOMPARE(image.pixelColor(4, 4), QColor(255, 255, 255));
        QVERIFY(scene.find<MeshRenderer>("renderer")->isTransparent());
    }

    // A 200 x 100 view through a perspective camera (90 degrees, aspect 2: ndc x = 0.5 x / z).
    // dot(p, 10) has arms of 10 offset units, 5 pixels each side, so both plus signs are about
    // 11 pixels wide although one is four times as far as the other. Without the offsets
    // (plain vertex colour) a dot is one point.
    void dotKeepsItsPixelSizeAtAnyDistance() {
        const char* const body = R"(Item { Viewport { anchors.fill: parent; camera: cam; clearColor: "black"
    Transform { PerspectiveCamera { id: cam; fieldOfView: 90 } }
    MeshRenderer { mesh: Mesh { id: m; constructor: m.newLinedConstructor().setCurrentColor("white")
            .dot(Qt.vector3d(-5, 0, 5), 10).dot(Qt.vector3d(20, 0, 40), 10) }
        material: MATERIAL } } })";
        SceneView withOffsets(QByteArray(body).replace("MATERIAL", "VertexColorAlphaMaterial {}").constData(), 200, 100);
        QVERIFY(withOffsets.ok());
        const QImage image = withOffsets.grab();
        // Near dot at pixel x 50, far dot at 125 (ndc -0.5 and 0.25).
        const int nearWidth = litWidth(image, 30, 70, 45, 55);
        const int farWidth = litWidth(image, 105, 145, 45, 55);
        QVERIFY2(nearWidth >= 10 && nearWidth <= 12, qPrintable(QString::number(nearWidth)));
        QVERIFY2(farWidth >= 10 && farWidth <= 12, qPrintable(QString::number(farWidth)));
        // The vertical arm: 5 pixels up and down (offset 10 of a 100 pixel height is 0.1 ndc).
        int nearHeight = 0;
        for (int y = 30; y <= 70; ++y)
            nearHeight += litWidth(image, 48, 52, y, y) > 0 ? 1 : 0;
        QVERIFY2(nearHeight >= 10 && nearHeight <= 12, qPrintable(QString::number(nearHeight)));

        SceneView withoutOffsets(QByteArray(body).replace("MATERIAL", "VertexColorMaterial {}").constData(), 200, 100);
        QVERIFY(withoutOffsets.ok());
        QVERIFY(litWidth(withoutOffsets.grab(), 30, 70, 45, 55) <= 2);
    }

    // Phong with N = (0, 0, 1) at the quad's centre and light and eye 1000 away:
    //   light and eye on the normal: 0.6 + 0.8 + 0.4 = 1.8, mixed 0.4 * 1.8 + 0.6 * 0 = 0.72 -> 184;
    //   light 60 degrees off the normal, eye behind: 0.6 + 0.8 * 0.5 = 1.0 -> 0.4 -> 102;
    //   light behind, eye on the normal: 0.6 -> 0.24 + 0.6 * (0, 0.5, 1) -> (61, 138, 214).
    void illuminatedSolidColour_data() {
        QTest::addColumn<QByteArray>("material");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("light on the normal") << QByteArray("lightPosition: Qt.vector3d(0, 0, 1000); cameraPosition: Qt.vector3d(0, 0, 1000)")
                                             << QColor(184, 184, 184);
        QTest::newRow("light at 60 degrees") << QByteArray("lightPosition: Qt.vector3d(866.0254, 0, 500); cameraPosition: Qt.vector3d(0, 0, -1000)")
                                             << QColor(102, 102, 102);
        QTest::newRow("light behind") << QByteArray("color: Qt.rgba(0, 0.5, 1, 1); lightPosition: Qt.vector3d(0, 0, -1000); cameraPosition: Qt.vector3d(0, 0, 1000)")
                                      << QColor(61, 138, 214);
    }
    void illuminatedSolidColour() {
        QFETCH(QByteArray, material);
        QFETCH(QColor, expected);
        const QByteArray body = quadWith("black", "white", ("IlluminatedSolidColorMaterial { " + material + " }").constData());
        SceneView scene(body.constData());
        QVERIFY(scene.ok());
        QCOMPARE_COLOR(scene.grab().pixelColor(32, 32), expected);
    }

    // A 2 x 2 RGBA texture over the whole viewport: the first data row is the bottom of the quad.
    void colouredTextureShowsItsColours() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; camera: cam; clearColor: "black"
    Transform { OrtogonalCamera { id: cam } }
    OGLTexture { id: tex; constructor: tex.newRgbaTextureConstructor().setTextureSize(Qt.size(2, 2))
        .setData([1, 0, 0, 1,  0, 1, 0, 1,  0, 0, 1, 1,  1, 1, 1, 1]) }
    MeshRenderer { objectName: "renderer"
        mesh: Mesh { id: quadMesh; constructor: quadMesh.newTriangledConstructor().quad(64, 64) }
        material: ColoredTextureMaterial { texture: tex } } } })");
        QVERIFY(scene.ok());
        const QImage image = scene.grab();
        QCOMPARE(image.pixelColor(16, 48), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(48, 48), QColor(0, 255, 0));
        QCOMPARE(image.pixelColor(16, 16), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(48, 16), QColor(255, 255, 255));
        QVERIFY(scene.find<MeshRenderer>("renderer")->isTransparent());
    }
};

QTEST_MAIN(StockMaterialTest)
#include "stock_material_test.moc"
