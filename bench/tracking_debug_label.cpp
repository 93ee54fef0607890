// The Tracking Debug label on the GUI thread: setting the Optimization page's text (about 40
// rows with grey numbers) on a Courier label, as the viewer does on every tick, in each of the
// text formats a QML Text offers. The text alternates between two values so that every
// iteration lays out anew. Opens no window, but needs a display: run under xvfb-run.
//
// The label is rich text because the grey numbers are marked "<font color = gray>": the
// lighter styled-text format reads only quoted attribute values and would show them black.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

#include <memory>

#include "viewers/TrackingDebugText.h"

using namespace Kestrel::Orb::Tracking;

namespace {

QString sampleText(float scale) {
    OptimizerState state{};
    state.position = Vec3f{{0.012345f * scale, 1.49876f, -0.3f}};
    state.velocity = Vec3f{{0.0001f, -0.25f * scale, 3e-6f}};
    state.accelerometerCorrection = Vec3f{{0.01f, 0.02f, -0.03f * scale}};
    StateDelta delta(12, 0.0f);
    for (std::size_t i = 0; i < delta.size(); ++i)
        delta[i] = (i % 2 ? -5e-05f : 0.25f) * scale;
    return TrackingDebug::optimizationText(state, delta);
}

std::unique_ptr<QQuickItem> makeLabel(const char* format) {
    static QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(QByteArray("import QtQuick 2.15\nimport QtQuick.Controls 2.15\n"
                                 "Label { font.family: \"Courier\"; textFormat: Text.") +
                          format + " }",
                      QUrl());
    return std::unique_ptr<QQuickItem>(qobject_cast<QQuickItem*>(component.create()));
}

void setTexts(benchmark::State& state, const char* format) {
    const QString texts[2] = {sampleText(1), sampleText(-2)};
    std::unique_ptr<QQuickItem> label = makeLabel(format);
    if (!label) {
        state.SkipWithError("label not created");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        label->setProperty("text", texts[i++ % 2]);
        benchmark::DoNotOptimize(label->implicitHeight());
    }
    state.counters["chars"] = double(texts[0].size());
}

void BM_OptimizationTextRichText(benchmark::State& state) { setTexts(state, "RichText"); }
void BM_OptimizationTextStyledText(benchmark::State& state) { setTexts(state, "StyledText"); }
void BM_OptimizationTextPlainText(benchmark::State& state) { setTexts(state, "PlainText"); }
BENCHMARK(BM_OptimizationTextRichText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OptimizationTextStyledText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OptimizationTextPlainText)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
