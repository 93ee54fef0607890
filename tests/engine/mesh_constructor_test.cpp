// The lined and triangled constructors: vertex counts, closure, offsets, colours, text and
// OBJ files. Expected points are worked out by hand from the curve definitions.
#include "engine/HersheySimplexFont.h"
#include "engine/LinedMeshConstructor.h"
#include "engine/TriangledMeshConstructor.h"
#include "interface_contract/DebugLog.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace KestrelQt3DEngine;

namespace {

QVector3D positionOf(const LinedVertex& v) { return QVector3D(v.position[0], v.position[1], v.position[2]); }
QPointF offsetOf(const LinedVertex& v) { return QPointF(v.screenOffset[0], v.screenOffset[1]); }
QColor colorOf(const LinedVertex& v) { return QColor(v.color[0], v.color[1], v.color[2], v.color[3]); }
bool near(const QVector3D& a, const QVector3D& b) { return (a - b).length() < 1e-5f; }

struct LogCapture {
    QStringList lines;
    LogCapture() { Kestrel::setDebugLogSink([this](const std::string& line) { lines.append(QString::fromStdString(line)); }); }
    ~LogCapture() { Kestrel::setDebugLogSink(nullptr); }
};

void writeFile(const QString& name, const char* text) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

class MeshConstructorTest : public QObject {
    Q_OBJECT
private slots:
    void circleHasSegmentsCountSegmentsAndCloses() {
        LinedMeshConstructor lines;
        lines.circle(1);
        QCOMPARE(lines.vertexCount(), 128);
        const auto& v = lines.vertices();
        QVERIFY(near(positionOf(v.front()), positionOf(v.back())));
        // The default rotation (scalar 0, vector (0, 0, 1)) is half a turn about Z.
        QVERIFY(near(positionOf(v.front()), QVector3D(-1, 0, 0)));
        // Consecutive segments share their ends.
        for (size_t i = 1; i + 1 < v.size(); i += 2)
            QVERIFY(near(positionOf(v[i]), positionOf(v[i + 1])));
        lines.clear()->setSegmentsCount(8)->circle(2, QVector3D(1, 1, 1), QQuaternion());
        QCOMPARE(lines.vertexCount(), 16);
        QVERIFY(near(positionOf(lines.vertices()[2]), QVector3D(1 + 2 * std::cos(float(M_PI) / 4), 1 + 2 * std::sin(float(M_PI) / 4), 1)));
    }

    void circleAroundANormal() {
        LinedMeshConstructor lines;
        lines.setSegmentsCount(4);
        // Normal +Z: u = (1, 0, 0), v = (0, 1, 0).
        lines.circle(2, QVector3D(0, 0, 5), QVector3D(0, 0, 1));
        QVERIFY(near(positionOf(lines.vertices()[0]), QVector3D(2, 0, 5)));
        QVERIFY(near(positionOf(lines.vertices()[1]), QVector3D(0, 2, 5)));
        // Normal +Y: u = (1, 0, 0), v = (0, 0, -1).
        lines.clear()->circle(2, QVector3D(), QVector3D(0, 1, 0));
        QVERIFY(near(positionOf(lines.vertices()[0]), QVector3D(2, 0, 0)));
        QVERIFY(near(positionOf(lines.vertices()[1]), QVector3D(0, 0, -2)));
        // Normal -Y has no cross product with Y either; it still makes a circle of radius 2.
        lines.clear()->circle(2, QVector3D(), QVector3D(0, -1, 0));
        for (const LinedVertex& vertex : lines.vertices())
            QVERIFY(std::fabs(positionOf(vertex).length() - 2.0f) < 1e-5f);
    }

    void ellipseArcAndRoundedRectangle() {
        LinedMeshConstructor lines;
        lines.setSegmentsCount(4);
        lines.ellipse(QVector3D(), 3, 1, QQuaternion());
        QVERIFY(near(positionOf(lines.vertices()[0]), QVector3D(3, 0, 0)));
        QVERIFY(near(positionOf(lines.vertices()[1]), QVector3D(0, 1, 0)));
        lines.clear()->arc(QVector3D(), 1, 1, M_PI / 2, M_PI, QQuaternion());
        QCOMPARE(lines.vertexCount(), 8);
        QVERIFY(near(positionOf(lines.vertices()[0]), QVector3D(0, 1, 0)));
        QVERIFY(near(positionOf(lines.vertices().back()), QVector3D(0, -1, 0)));
        lines.clear()->roundedRectangle(QVector3D(10, 0, 0), 4, 2, 1, QQuaternion());
        QCOMPARE(lines.vertexCount(), 8 + 4 * 2 * 4);
        QVERIFY(near(positionOf(lines.vertices()[0]), QVector3D(10 - 3, -2, 0)));
        QVERIFY(near(positionOf(lines.vertices()[1]), QVector3D(10 + 3, -2, 0)));
        // First quarter arc: centre (a - r, b - r) = (3, 1), from angle 0 to pi / 2.
        QVERIFY(near(positionOf(lines.vertices()[8]), QVector3D(10 + 4, 1, 0)));
        QVERIFY(near(positionOf(lines.vertices()[15]), QVector3D(10 + 3, 2, 0)));
    }

    void dotIsAScreenSizedPlus() {
        LinedMeshConstructor lines;
        const QVector3D p(1, 2, 3);
        lines.dot(p);
        QCOMPARE(lines.vertexCount(), 4);
        const QPointF offsets[] = {{5, 0}, {-5, 0}, {0, 5}, {0, -5}};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(near(positionOf(lines.vertices()[i]), p));
            QCOMPARE(offsetOf(lines.vertices()[i]), offsets[i]);
        }
        lines.clear()->dot(p, 2);
        QCOMPARE(offsetOf(lines.vertices()[1]), QPointF(-2, 0));
    }

    void coordSystRestoresTheColour() {
        LinedMeshConstructor lines;
        lines.setCurrentColor(QColor(10, 20, 30, 40));
        lines.coordSyst(QVector3D(1, 0, 0), QQuaternion::fromAxisAndAngle(0, 0, 1, 90), 2, 128);
        QCOMPARE(lines.currentColor(), QColor(10, 20, 30, 40));
        QCOMPARE(lines.vertexCount(), 6);
        QCOMPARE(colorOf(lines.vertices()[0]), QColor(255, 0, 0, 128));
        QCOMPARE(colorOf(lines.vertices()[3]), QColor(0, 255, 0, 128));
        QCOMPARE(colorOf(lines.vertices()[5]), QColor(0, 0, 255, 128));
        // X turned onto Y by the rotation, scaled 2, from (1, 0, 0).
        QVERIFY(near(positionOf(lines.vertices()[1]), QVector3D(1, 2, 0)));
        QVERIFY(near(positionOf(lines.vertices()[3]), QVector3D(-1, 0, 0)));
        lines.line(QVector3D(), QVector3D(1, 1, 1));
        QCOMPARE(colorOf(lines.vertices()[6]), QColor(10, 20, 30, 40));
    }

    void lineWithEndColoursKeepsTheCurrentColour() {
        LinedMeshConstructor lines;
        lines.line(QVector3D(), QColor("red"), QVector3D(1, 0, 0), QColor("blue"));
        QCOMPARE(colorOf(lines.vertices()[0]), QColor("red"));
        QCOMPARE(colorOf(lines.vertices()[1]), QColor("blue"));
        QCOMPARE(lines.currentColor(), QColor(0, 0, 0, 255));
        lines.ray(QVector3D(0, 3, 0));
        QVERIFY(near(positionOf(lines.vertices()[2]), QVector3D()));
        QVERIFY(near(positionOf(lines.vertices()[3]), QVector3D(0, 3, 0)));
    }

    void labelLineFeedAndTab() {
        LinedMeshConstructor a, b, text;
        a.label(QVector3D(), "A");
        b.label(QVector3D(), "B");
        text.label(QVector3D(7, 8, 9), QString("A\nB"));
        QCOMPARE(a.vertexCount(), 6);  // the A of the simplex font has three strokes
        QCOMPARE(text.vertexCount(), a.vertexCount() + b.vertexCount());
        for (int i = 0; i < b.vertexCount(); ++i) {
            const LinedVertex& shifted = text.vertices()[size_t(a.vertexCount() + i)];
            QCOMPARE(offsetOf(shifted), offsetOf(b.vertices()[size_t(i)]) + QPointF(0, -34));
            QVERIFY(near(positionOf(shifted), QVector3D(7, 8, 9)));
        }
        // The first stroke of B runs from (4, 21) to (4, 0).
        QCOMPARE(offsetOf(b.vertices()[0]), QPointF(4, 21));
        QCOMPARE(offsetOf(b.vertices()[1]), QPointF(4, 0));
        LinedMeshConstructor tabbed;
        tabbed.label(QVector3D(), "\tB");
        QCOMPARE(offsetOf(tabbed.vertices()[0]), QPointF(4 + 64, 21));
        LinedMeshConstructor spaced;
        spaced.label(QVector3D(), " B");
        QCOMPARE(offsetOf(spaced.vertices()[0]), QPointF(4 + 16, 21));
    }

    void labelEndsAtNulOrHighBytes() {
        LinedMeshConstructor plain, cut, latin;
        plain.label(QVector3D(), "A");
        cut.label(QVector3D(), std::string_view("A\0B", 3));
        QCOMPARE(cut.vertexCount(), plain.vertexCount());
        latin.label(QVector3D(), QString::fromUtf8("A\xc3\xa9" "B"));  // e-acute is 0xE9 in Latin-1
        QCOMPARE(latin.vertexCount(), plain.vertexCount());
        LinedMeshConstructor control;
        control.label(QVector3D(), "\x01\x02");
        QCOMPARE(control.vertexCount(), 0);
    }

    void everyPrintableGlyphStaysInItsBox() {
        for (int code = 32; code <= 126; ++code) {
            const char text[2] = {char(code), 0};
            LinedMeshConstructor lines;
            lines.label(QVector3D(), text);
            const HersheyGlyph glyph = hersheySimplexGlyph(static_cast<unsigned char>(code));
            QVERIFY(glyph.advance > 0);
            QCOMPARE(lines.vertexCount() % 2, 0);
            if (code != ' ')
                QVERIFY2(lines.vertexCount() > 0, text);
            for (const LinedVertex& vertex : lines.vertices()) {
                const QPointF offset = offsetOf(vertex);
                QVERIFY2(offset.x() >= 0 && offset.x() <= glyph.advance, text);
                QVERIFY2(offset.y() >= -7 && offset.y() <= 25, text);  // descender to the top of brackets
            }
        }
        QCOMPARE(hersheySimplexGlyph(' ').advance, 16);
        QCOMPARE(hersheySimplexGlyph('A').advance, 18);
        QCOMPARE(hersheySimplexGlyph(127).points, nullptr);
    }

    void sphereAndQuad() {
        TriangledMeshConstructor triangles;
        triangles.sphere(1, 3, 3);
        QCOMPARE(triangles.vertexCount(), 9);
        QCOMPARE(triangles.indexCount(), 24);
        for (std::uint16_t index : triangles.indices())
            QVERIFY(index < 9);
        // Ring 0 is the south pole (sin(0 - pi/2) = -1), ring 2 the north pole.
        QVERIFY(near(QVector3D(triangles.vertices()[0].position[0], triangles.vertices()[0].position[1], triangles.vertices()[0].position[2]),
                     QVector3D(0, -1, 0)));
        QCOMPARE(triangles.vertices()[8].texCoord[0], 1.0f);
        QCOMPARE(triangles.vertices()[8].texCoord[1], 1.0f);
        triangles.clear()->sphere(1, 0, 8);
        QCOMPARE(triangles.vertexCount(), 0);
        triangles.clear()->quad();
        QCOMPARE(triangles.vertexCount(), 4);
        QCOMPARE(triangles.indices(), (std::vector<std::uint16_t>{0, 1, 2, 2, 3, 0}));
        const TriangledVertex& topLeft = triangles.vertices()[0];
        QCOMPARE(topLeft.position[0], -1.0f);
        QCOMPARE(topLeft.position[1], 1.0f);
        QCOMPARE(topLeft.texCoord[1], 1.0f);
        QCOMPARE(triangles.vertices()[2].position[0], 1.0f);
        QCOMPARE(triangles.vertices()[2].position[1], -1.0f);
        QCOMPARE(triangles.vertexSize(), 36);
    }

    void objFilesWithAndWithoutNormals() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        writeFile("full.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
                              "f 1/1/1 2/2/1 3/3/1 4/4/1\n");
        writeFile("bare.obj", "v 0 0 0\nv 2 0 0\nv 0 2 0\nf 1 2 3\n");
        TriangledMeshConstructor full;
        full.loadMeshFromObjFile("full.obj");
        QCOMPARE(full.vertexCount(), 6);  // the quad is triangulated
        QCOMPARE(full.indexCount(), 0);
        // Whatever the reader's triangulation, every corner keeps its own texture coordinate
        // (equal to its position here) and the normal, and all four corners appear.
        QSet<QPair<float, float>> corners;
        for (const TriangledVertex& vertex : full.vertices()) {
            QCOMPARE(vertex.texCoord[0], vertex.position[0]);
            QCOMPARE(vertex.texCoord[1], vertex.position[1]);
            QCOMPARE(vertex.normal[2], 1.0f);
            corners.insert({vertex.position[0], vertex.position[1]});
        }
        QCOMPARE(corners.size(), 4);
        QVERIFY(QFile::exists("readingFile.txt"));
        TriangledMeshConstructor bare;
        bare.loadMeshFromObjFile("bare.obj");
        QCOMPARE(bare.vertexCount(), 3);
        QCOMPARE(bare.vertices()[1].position[0], 2.0f);
        QCOMPARE(bare.vertices()[1].normal[2], 0.0f);
        QCOMPARE(bare.vertices()[1].texCoord[0], 0.0f);
        QDir::setCurrent(previous);
    }

    void missingOrBrokenObjLeavesItEmptyAndLogs() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        LogCapture log;
        TriangledMeshConstructor missing;
        missing.loadMeshFromObjFile(":/imports/ObjFiles/monkey.obj");
        QCOMPARE(missing.vertexCount(), 0);
        QCOMPARE(log.lines.size(), 1);
        writeFile("broken.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n");  // OBJ indices start at 1
        TriangledMeshConstructor broken;
        broken.loadMeshFromObjFile("broken.obj");
        QCOMPARE(broken.vertexCount(), 0);
        QVERIFY2(log.lines.size() >= 2, qPrintable(log.lines.join("|")));
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(MeshConstructorTest)
#include "mesh_constructor_test.moc"
