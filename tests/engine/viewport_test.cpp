// The viewport's paint steps, render-on-demand, draw order and input, read back from windows
// (QML texts in raw strings must not contain a hash sign: moc then skips the file.)
// rendered under Xvfb.
#include "TestScene.h"

#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSignalSpy>
#include <QTest>

using namespace KestrelQt3DEngine;
using EngineTest::ProbeRenderable;
using EngineTest::SceneView;

namespace {

// A black vertical line through the middle of a 64 x 64 viewport cleared transparent white, over
// a rectangle of the given colour.
QByteArray lineOverItem(const char* behind) {
    return QByteArray("Item { Rectangle { anchors.fill: parent; color: \"") + behind +
           "\" }\n"
           "Viewport { anchors.fill: parent; clearColor: Qt.rgba(1, 1, 1, 0); camera: cam\n"
           "  Transform { OrtogonalCamera { id: cam } }\n"
           "  MeshRenderer {\n"
           "    mesh: Mesh { id: lines; constructor: lines.newLinedConstructor().line(Qt.vector3d(0, -20, 0), Qt.vector3d(0, 20, 0)) }\n"
           "    material: VertexColorMaterial {} } } }";
}

} // namespace

class ViewportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerTypes(); }
    void init() { ProbeRenderable::drawOrder().clear(); }

    void clearsWithoutCamera() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; clearColor: "orange" } })");
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        ProbeRenderable probe(viewport, false);
        AbstractCamera* seen = reinterpret_cast<AbstractCamera*>(1);
        probe.onRender = [&](AbstractCamera* camera) { seen = camera; };
        const QImage image = scene.grab();
        QCOMPARE(image.pixelColor(32, 32), QColor(255, 165, 0));
        QCOMPARE(image.pixelColor(1, 62), QColor(255, 165, 0));
        QVERIFY(probe.renderCount >= 1);
        QCOMPARE(seen, nullptr);
    }

    void defaultClearIsOpaqueBlack() {
        SceneView scene(R"(Item { Viewport { anchors.fill: parent } })");
        QVERIFY(scene.ok());
        QCOMPARE(scene.grab().pixelColor(10, 10), QColor(0, 0, 0));
    }

    void viewportSizeIsRoundedUpToEven() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; width: 301; height: 200 } })", 400, 300);
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        ProbeRenderable probe(viewport, false);
        GLint rect[4] = {-1, -1, -1, -1};
        probe.onRender = [&](AbstractCamera*) { QOpenGLContext::currentContext()->functions()->glGetIntegerv(GL_VIEWPORT, rect); };
        scene.grab();
        QCOMPARE(rect[0], 0);
        QCOMPARE(rect[1], 0);
        QCOMPARE(rect[2], 302);
        QCOMPARE(rect[3], 200);
    }

    void tenChangesCauseOneRepaint() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; renderOnDemand: true
            Transform { objectName: "t" } } })");
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        auto* transform = scene.find<Transform>("t");
        ProbeRenderable probe(transform, false);
        scene.grab();
        QTest::qWait(100);
        const int before = viewport->paintCount();
        QTest::qWait(200);
        QCOMPARE(viewport->paintCount(), before);  // nothing changed: no repaint
        for (int i = 1; i <= 10; ++i)
            transform->setLocalPosition(QVector3D(float(i), 0, 0));
        QTRY_COMPARE(viewport->paintCount(), before + 1);
        QTest::qWait(200);
        QCOMPARE(viewport->paintCount(), before + 1);
    }

    void continuousWithoutRenderOnDemand() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent } })");
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        scene.grab();
        const int before = viewport->paintCount();
        QTRY_VERIFY(viewport->paintCount() >= before + 3);
    }

    void drawOrderOfOpaqueAndTransparent() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; renderOnDemand: true
            Transform { objectName: "far"; localPosition: Qt.vector3d(0, 0, 5) }
            Transform { objectName: "near"; localPosition: Qt.vector3d(0, 0, 1) } } })");
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        ProbeRenderable first(viewport, false);
        ProbeRenderable second(viewport, false);
        ProbeRenderable nearProbe(scene.find<Transform>("near"), true);
        ProbeRenderable farProbe(scene.find<Transform>("far"), true);
        viewport->sortTransparentRenderables();
        ProbeRenderable::drawOrder().clear();
        viewport->update();
        scene.grab();
        const QVector<ProbeRenderable*> order = ProbeRenderable::drawOrder().mid(0, 4);
        QCOMPARE(order, (QVector<ProbeRenderable*>{&second, &first, &farProbe, &nearProbe}));

        // Moving the near one behind the far one re-sorts the transparent list.
        scene.find<Transform>("near")->setLocalPosition(QVector3D(0, 0, 9));
        viewport->sortTransparentRenderables();
        QCOMPARE(viewport->transparentRenderables().last(), static_cast<IRenderable*>(&nearProbe));
    }

    void pressReachesAButtonInside() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent
            Button { objectName: "button"; x: 10; y: 10; width: 40; height: 40 } } })");
        QVERIFY(scene.ok());
        auto* button = scene.root()->findChild<QObject*>("button");
        QVERIFY(button);
        QSignalSpy clicked(button, SIGNAL(clicked()));
        QTest::mouseClick(&scene.view(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
        QTRY_COMPARE(clicked.count(), 1);
        // The viewport saw the press too, in framebuffer coordinates (y from the bottom).
        auto* viewport = scene.find<Viewport>("viewport");
        QCOMPARE(viewport->lastPressPosition(), QPointF(20, 64 - 30 - 1));
    }

    // The window lays the viewport's image over what is behind it as premultiplied colour.
    // A transparent white clear must leave the item behind as it is, and a black line lying on
    // a pixel boundary (each of its two columns half covered) must darken the white behind it:
    // premultiplied, a half-covered pixel is (0, 0, 0, 0.5), so 255 x 0.5 = 128 over white.
    // Cleared with the raw (1, 1, 1, 0) the same pixel was (0.5, 0.5, 0.5, 0.5) and added white
    // light: the line vanished on white, and the magenta showed as white.
    void transparentClearLetsTheItemBehindShowAndKeepsLinesVisible() {
        for (const char* behind : {"white", "magenta"}) {
            const QByteArray body = lineOverItem(behind);
            SceneView scene(body.constData());
            QVERIFY(scene.ok());
            const QImage image = scene.grab();
            const QColor background(behind);
            QCOMPARE(image.pixelColor(8, 8), background);
            QCOMPARE(image.pixelColor(56, 32), background);
            // x = 0 lies between columns 31 and 32; whatever share each column gets, the darker
            // of the two is at most 255 - 128 / 2 = 191 in red (half the line's coverage at least).
            const int darkest = qMin(image.pixelColor(31, 32).red(), image.pixelColor(32, 32).red());
            QVERIFY2(darkest <= 192, qPrintable(QString("on %1: columns 31, 32 red %2, %3").arg(behind)
                                                    .arg(image.pixelColor(31, 32).red()).arg(image.pixelColor(32, 32).red())));
            // Both columns together take the line's whole darkness: 255 + 255 - 255 = 255 in sum.
            const int sum = image.pixelColor(31, 32).red() + image.pixelColor(32, 32).red();
            QVERIFY2(qAbs(sum - 255) <= 8, qPrintable(QString("on %1: sum of reds %2").arg(behind).arg(sum)));
        }
    }

    void cameraAndClearColorRequestRepaints() {
        SceneView scene(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; renderOnDemand: true } })");
        QVERIFY(scene.ok());
        auto* viewport = scene.find<Viewport>("viewport");
        scene.grab();
        QTest::qWait(100);
        const int before = viewport->paintCount();
        QSignalSpy changed(viewport, &Viewport::clearColorChanged);
        viewport->setClearColor(QColor("blue"));
        viewport->setClearColor(QColor("blue"));
        QCOMPARE(changed.count(), 1);
        QTRY_VERIFY(viewport->paintCount() > before);
        QCOMPARE(scene.grab().pixelColor(5, 5), QColor(0, 0, 255));
    }
};

QTEST_MAIN(ViewportTest)
#include "viewport_test.moc"
