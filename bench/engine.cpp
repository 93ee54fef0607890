// Scene engine costs: propagating a change through a tree of 1000 transforms (GUI thread),
// rendering one frame of that tree with a renderer under every transform (render thread),
// building and uploading a lined mesh of 10 000 segments with labels, the frame rate of a
// 1600 x 1000 window showing such a mesh, a frame of 1000 renderers of which 100 are
// transparent (the change that moves them all, and the drawing), and the memory a material's
// and a mesh's bindings keep after 10 000 changes.
// Run under a display: xvfb-run -a -s "-screen 0 1600x1000x24" build/bench/bench_engine
#include "engine/LinedMeshConstructor.h"
#include "engine/MaterialProperties.h"
#include "engine/Mesh.h"
#include "engine/MeshRenderer.h"
#include "engine/Registration.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>

#include <unistd.h>

using namespace KestrelQt3DEngine;

namespace {

// A tree of 1 + 9 + 90 + 900 = 1000 transforms: the root, 9 children, 10 below each, 10 below those.
std::vector<Transform*> buildTree(QObject* viewport) {
    std::vector<Transform*> all;
    auto make = [&](QObject* parent) {
        auto* transform = new Transform(parent);
        transform->setLocalPosition(QVector3D(0.1f, 0.2f, 0.0f));
        transform->setLocalRotation(QQuaternion::fromAxisAndAngle(0, 0, 1, 3));
        all.push_back(transform);
        return transform;
    };
    Transform* root = make(viewport);
    for (int a = 0; a < 9; ++a) {
        Transform* level1 = make(root);
        for (int b = 0; b < 10; ++b) {
            Transform* level2 = make(level1);
            for (int c = 0; c < 10; ++c)
                make(level2);
        }
    }
    // Children complete before their parents, as the QML engine does it.
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        (*it)->componentComplete();
    return all;
}

void BM_RootChangePropagation(benchmark::State& state) {
    Viewport viewport;
    std::vector<Transform*> tree = buildTree(&viewport);
    float x = 0;
    for (auto _ : state) {
        tree.front()->setLocalPosition(QVector3D(x += 1.0f, 0, 0));
        benchmark::DoNotOptimize(tree.back());
    }
    state.counters["transforms"] = double(tree.size());
}
BENCHMARK(BM_RootChangePropagation);

// The same change, then every world matrix read as a frame does.
void BM_RootChangeAndAllMatrices(benchmark::State& state) {
    Viewport viewport;
    std::vector<Transform*> tree = buildTree(&viewport);
    float x = 0;
    for (auto _ : state) {
        tree.front()->setLocalPosition(QVector3D(x += 1.0f, 0, 0));
        for (Transform* transform : tree)
            benchmark::DoNotOptimize(transform->getMatrix());
    }
}
BENCHMARK(BM_RootChangeAndAllMatrices);

const char* const kFrameScene = R"(
import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Materials"
Viewport {
    width: 800; height: 600; renderOnDemand: true; camera: cam
    property alias sharedMesh: lines
    property alias sharedMaterial: mat
    Transform { OrtogonalCamera { id: cam } }
    Mesh { id: lines; constructor: lines.newLinedConstructor().coordSyst(Qt.vector3d(0, 0, 0), Qt.quaternion(1, 0, 0, 0), 20) }
    VertexColorMaterial { id: mat }
})";

// Render-thread time of one frame: the viewport draws its opaque renderables from the last
// registered to the first, so a clock registered first stops after all others and one
// registered last starts before them.
class FrameClock : public IRenderable {
public:
    explicit FrameClock(bool start) : m_start(start) {}
    void render(AbstractCamera*) override {
        // Mesa's llvmpipe draws when commands are flushed; finishing makes the interval the
        // drawing itself rather than its submission.
        if (finish)
            QOpenGLContext::currentContext()->functions()->glFinish();
        if (m_start)
            timer.start();
        else
            nanoseconds = timer.nsecsElapsed();
    }
    bool finish = false;
    AbstractTransform* getTransform() override { return nullptr; }
    Mesh* getMesh() override { return nullptr; }
    static QElapsedTimer timer;
    static std::atomic<qint64> nanoseconds;

private:
    bool m_start;
};
QElapsedTimer FrameClock::timer;
std::atomic<qint64> FrameClock::nanoseconds{0};

// The viewport of a QML text as the content of view; null (and the benchmark skipped with the
// QML error) when it does not load.
Viewport* loadViewport(QQuickView& view, const char* qml, benchmark::State& state) {
    QQmlComponent component(view.engine());
    component.setData(qml, QUrl("qrc:/bench/Scene.qml"));
    auto* viewport = qobject_cast<Viewport*>(component.create());
    if (!viewport) {
        state.SkipWithError(qPrintable(component.errorString()));
        return nullptr;
    }
    view.setContent(QUrl(), &component, viewport);
    return viewport;
}

void BM_FrameOf1000Renderers(benchmark::State& state) {
    QQuickView view;
    Viewport* viewport = loadViewport(view, kFrameScene, state);
    if (!viewport)
        return;
    FrameClock stop(false), start(true);
    viewport->addOpaqueRenderable(&stop);
    std::vector<Transform*> tree = buildTree(viewport);
    auto* mesh = qvariant_cast<QObject*>(viewport->property("sharedMesh"));
    auto* material = qvariant_cast<QObject*>(viewport->property("sharedMaterial"));
    for (Transform* transform : tree) {
        auto* renderer = new MeshRenderer(transform);
        renderer->setMeshObject(mesh);
        renderer->setMaterialObject(material);
        renderer->componentComplete();
    }
    viewport->addOpaqueRenderable(&start);
    view.show();
    QElapsedTimer waited;
    waited.start();
    while (!view.isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    view.grabWindow();
    float x = 0;
    for (auto _ : state) {
        tree.front()->setLocalPosition(QVector3D(x += 1.0f, 0, 0));
        view.grabWindow();
        state.SetIterationTime(double(FrameClock::nanoseconds.load()) * 1e-9);
    }
    viewport->removeOpaqueRenderable(&start);
    viewport->removeOpaqueRenderable(&stop);
    state.counters["renderers"] = double(tree.size());
}
BENCHMARK(BM_FrameOf1000Renderers)->UseManualTime()->Unit(benchmark::kMillisecond);

const char* const kMixedFrameScene = R"(
import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Materials"
Viewport {
    width: 800; height: 600; renderOnDemand: true; camera: cam
    property alias sharedMesh: lines
    property alias opaqueMaterial: opaque
    property alias transparentMaterial: translucent
    Transform { OrtogonalCamera { id: cam } }
    Mesh { id: lines; constructor: lines.newLinedConstructor().coordSyst(Qt.vector3d(0, 0, 0), Qt.quaternion(1, 0, 0, 0), 20) }
    SolidColorMaterial { id: opaque; color: "steelblue" }
    SolidColorMaterial { id: translucent; color: Qt.rgba(1, 0, 0, 0.5) }
})";

// 1000 renderers, one under each transform of the tree, the last 100 transparent and spread
// over seven depths; each draw sets the material's named uniform. Iteration time: the drawing
// of one frame (render thread). Counter change_ms: the GUI thread's part of the root change
// that moves every renderer (propagation, and whatever ordering work the change triggers);
// sort_ms: one full sort of the transparent renderables after such a change.
void BM_FrameOf1000RenderersWith100Transparent(benchmark::State& state) {
    QQuickView view;
    Viewport* viewport = loadViewport(view, kMixedFrameScene, state);
    if (!viewport)
        return;
    FrameClock stop(false), start(true);
    viewport->addOpaqueRenderable(&stop);
    std::vector<Transform*> tree = buildTree(viewport);
    auto* mesh = qvariant_cast<QObject*>(viewport->property("sharedMesh"));
    auto* opaque = qvariant_cast<QObject*>(viewport->property("opaqueMaterial"));
    auto* translucent = qvariant_cast<QObject*>(viewport->property("transparentMaterial"));
    const size_t firstTransparent = tree.size() - 100;
    for (size_t i = 0; i < tree.size(); ++i) {
        if (i >= firstTransparent)
            tree[i]->setLocalPosition(QVector3D(0.1f, 0.2f, float(i % 7)));
        auto* renderer = new MeshRenderer(tree[i]);
        renderer->setMeshObject(mesh);
        renderer->setMaterialObject(i >= firstTransparent ? translucent : opaque);
        renderer->componentComplete();
    }
    viewport->addOpaqueRenderable(&start);
    view.show();
    QElapsedTimer waited;
    waited.start();
    while (!view.isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    view.grabWindow();
    float x = 0;
    double changeSeconds = 0;
    QElapsedTimer change;
    for (auto _ : state) {
        change.start();
        tree.front()->setLocalPosition(QVector3D(x += 1.0f, 0, 0));
        changeSeconds += double(change.nsecsElapsed()) * 1e-9;
        view.grabWindow();
        state.SetIterationTime(double(FrameClock::nanoseconds.load()) * 1e-9);
    }
    // The one sort a frame does after such a change (outside the frame clock, which starts
    // with the opaque renderables), with the depths read fresh.
    tree.front()->setLocalPosition(QVector3D(x += 1.0f, 0, 0));
    QElapsedTimer sort;
    sort.start();
    viewport->sortTransparentRenderables();
    state.counters["sort_ms"] = double(sort.nsecsElapsed()) * 1e-6;
    viewport->removeOpaqueRenderable(&start);
    viewport->removeOpaqueRenderable(&stop);
    state.counters["transparent"] = double(viewport->transparentRenderables().size());
    state.counters["change_ms"] = state.iterations() ? changeSeconds * 1e3 / double(state.iterations()) : 0.0;
}
BENCHMARK(BM_FrameOf1000RenderersWith100Transparent)->UseManualTime()->Unit(benchmark::kMillisecond);

// Resident memory of the process in kB.
double residentKb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1024.0;
}

// A stock material and a stock mesh whose bindings depend on n, and a material and a mesh
// whose own bindings make a new part on every change.
const char* const kBindingScene = R"(
import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Materials"
import "qrc:/OpenGlEngine/imports/Meshes"
Item {
    property int n: 0
    property alias stockMaterial: stock
    property alias stockMesh: sphere
    property alias ownMaterial: own
    property alias ownMesh: mesh
    OGLTexture { id: tex }
    TextureMaterial { id: stock; texture: tex; flipY: n % 2 === 1 }
    SphereMesh { id: sphere; radius: 1 + n % 3; xSegmentsCount: 8; ySegmentsCount: 8 }
    Material { id: own; properties: own.newMaterialProperties().setUniform("n", n) }
    Mesh { id: mesh; constructor: mesh.newLinedConstructor().ray(Qt.vector3d(n, 0, 0)) }
})";

// Each iteration is 10 000 changes of n, each re-evaluating all four bindings, then a garbage
// collection. Counters: rss_growth_first_kb and rss_growth_last_kb, the resident memory gained
// by the first and by the last 10 000 changes (after a warm-up of 1000); kept_parts, the
// material properties and mesh constructors still alive under the four objects at the end
// (4 when nothing replaced is kept).
void BM_BindingChanges10000(benchmark::State& state) {
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(kBindingScene, QUrl("qrc:/bench/Bindings.qml"));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        state.SkipWithError(qPrintable(component.errorString()));
        return;
    }
    int n = 0;
    auto settle = [&] {
        engine.collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    for (int i = 0; i < 1000; ++i)
        root->setProperty("n", ++n);
    settle();
    std::vector<double> residentAfter{residentKb()};
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i)
            root->setProperty("n", ++n);
        state.PauseTiming();
        settle();
        residentAfter.push_back(residentKb());
        state.ResumeTiming();
    }
    auto parts = [&](const char* name) {
        auto* object = qvariant_cast<QObject*>(root->property(name));
        return double(object->findChildren<MaterialProperties*>().size() + object->findChildren<BasicMeshConstructor*>().size());
    };
    state.counters["rss_growth_first_kb"] = residentAfter[1] - residentAfter[0];
    state.counters["rss_growth_last_kb"] = residentAfter.back() - residentAfter[residentAfter.size() - 2];
    state.counters["kept_parts"] = parts("stockMaterial") + parts("stockMesh") + parts("ownMaterial") + parts("ownMesh");
    state.counters["changes"] = double(state.iterations()) * 10000;
}
BENCHMARK(BM_BindingChanges10000)->Unit(benchmark::kMillisecond)->Iterations(4);

// 10 000 segments with labels built on the CPU, then uploaded into a vertex buffer.
void buildSegments(LinedMeshConstructor& lines) {
    lines.clear();
    lines.reserve(20000 + 400 * 50);
    for (int i = 0; i < 10000; ++i)
        lines.line(QVector3D(float(i), 0, 0), QVector3D(float(i), 1, 0));
    for (int i = 0; i < 100; ++i)
        lines.label(QVector3D(float(i), 2, 0), "x=12.5");
}

void BM_LinedBuild10000(benchmark::State& state) {
    LinedMeshConstructor lines;
    for (auto _ : state) {
        buildSegments(lines);
        benchmark::DoNotOptimize(lines.vertexData());
    }
    state.counters["vertices"] = double(lines.vertexCount());
}
BENCHMARK(BM_LinedBuild10000)->Unit(benchmark::kMicrosecond);

void BM_LinedBuildAndUpload10000(benchmark::State& state) {
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    context.create();
    context.makeCurrent(&surface);
    QOpenGLShaderProgram program;
    program.addShaderFromSourceCode(QOpenGLShader::Vertex, "attribute vec3 POSITION; void main() { gl_Position = vec4(POSITION, 1.0); }");
    program.addShaderFromSourceCode(QOpenGLShader::Fragment, "void main() { gl_FragColor = vec4(1.0); }");
    program.link();
    program.bind();
    LinedMeshConstructor lines;
    auto mesh = std::make_unique<Mesh>();
    for (auto _ : state) {
        buildSegments(lines);
        mesh->setMeshConstructor(&lines);
        mesh->draw(&program, nullptr);  // uploads, then draws
        context.functions()->glFinish();
    }
    mesh.reset();
    context.doneCurrent();
}
BENCHMARK(BM_LinedBuildAndUpload10000)->Unit(benchmark::kMicrosecond);

// 10 000 segments of 12 pixels in a 100 x 100 lattice over a 1600 x 1000 view, each 16 x 10
// pixels apart, and 100 labels spread over it (one world unit a pixel, origin at the centre).
void buildScreenSegments(LinedMeshConstructor& lines) {
    lines.clear();
    lines.setCurrentColor(QColor(20, 60, 140));
    for (int i = 0; i < 10000; ++i) {
        const QVector3D start(-795.0f + 16.0f * float(i % 100), -495.0f + 10.0f * float(i / 100), 0);
        lines.line(start, start + QVector3D(8.5f, 8.5f, 0));
    }
    lines.setCurrentColor(QColor(160, 20, 20));
    for (int i = 0; i < 100; ++i)
        lines.label(QVector3D(-780.0f + 160.0f * float(i % 10), -480.0f + 100.0f * float(i / 10), 0), "x=12.5");
}

const char* const kLinedScene = R"(
import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Materials"
Viewport {
    width: 1600; height: 1000; clearColor: "white"; camera: cam
    property alias linesMesh: lines
    Transform { OrtogonalCamera { id: cam } }
    Transform { localPosition: Qt.vector3d(0, 0, 1)
        MeshRenderer { mesh: Mesh { id: lines } material: VertexColorAlphaMaterial {} } }
})";

// Continuous rendering of the lattice in a 1600 x 1000 window: one iteration is one frame
// swapped to the window (engine drawing, the item's framebuffer drawn into the window, swap).
// Counter draw_ms: the engine's own drawing of the mesh in each frame, finished.
void BM_FrameOfLined10000At1600x1000(benchmark::State& state) {
    QQuickView view;
    view.resize(1600, 1000);
    Viewport* viewport = loadViewport(view, kLinedScene, state);
    if (!viewport)
        return;
    auto* mesh = qvariant_cast<Mesh*>(viewport->property("linesMesh"));
    LinedMeshConstructor* lines = mesh->newLinedConstructor();
    buildScreenSegments(*lines);
    mesh->setMeshConstructor(lines);
    // The mesh sorts among the transparent renderables at z = 1, drawn before this stop
    // clock at z = 0; the start clock is the one opaque renderable, drawn before both.
    FrameClock start(true), stop(false);
    start.finish = stop.finish = true;
    viewport->addTransparentRenderable(&stop);
    viewport->addOpaqueRenderable(&start);
    std::atomic<int> swapped{0};
    QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [&] { ++swapped; }, Qt::DirectConnection);
    view.show();
    QElapsedTimer waited;
    waited.start();
    while (swapped.load() < 3 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    double drawSeconds = 0;
    for (auto _ : state) {
        const int before = swapped.load();
        while (swapped.load() == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        drawSeconds += double(FrameClock::nanoseconds.load()) * 1e-9;
    }
    viewport->removeTransparentRenderable(&stop);
    viewport->removeOpaqueRenderable(&start);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["draw_ms"] = state.iterations() ? drawSeconds * 1e3 / double(state.iterations()) : 0.0;
    state.counters["vertices"] = double(lines->vertexCount());
}
BENCHMARK(BM_FrameOfLined10000At1600x1000)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    registerTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
