// The Tracking Debug label on the GUI thread: setting the Optimization page's text (about 40
// rows with grey numbers) on a Courier label, as the viewer does on every tick, in each of the
// text formats a QML Text offers and in variants of the rich-text label. The text alternates
// between two values so that every iteration lays out anew. Opens no window, but needs a
// display: run under xvfb-run.
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
#include <string>

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

// A label made from a QML item text (imports added), as the viewer declares it.
std::unique_ptr<QQuickItem> makeItem(const char* qml) {
    static QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(QByteArray("import QtQuick 2.15\nimport QtQuick.Controls 2.15\n") + qml, QUrl());
    return std::unique_ptr<QQuickItem>(qobject_cast<QQuickItem*>(component.create()));
}

// Sets the two texts in turn on a label declared by qml, or with alternate false the first one
// again and again (an equal copy, not the same string object, as a new emission would bring).
void BM_OptimizationText(benchmark::State& state, const char* qml, bool alternate) {
    const QString texts[2] = {sampleText(1), alternate ? sampleText(-2) : sampleText(1)};
    std::unique_ptr<QQuickItem> label = makeItem(qml);
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

struct Variant {
    const char* name;
    const char* qml;
    bool alternate;
};

#define COURIER_LABEL(properties) "Label { font.family: \"Courier\"; " properties " }"

const Variant variants[] = {
    // A Courier label in each text format.
    {"RichText", COURIER_LABEL("textFormat: Text.RichText"), true},
    {"StyledText", COURIER_LABEL("textFormat: Text.StyledText"), true},
    {"PlainText", COURIER_LABEL("textFormat: Text.PlainText"), true},
    // Rich-text variants: a plain Text item, the font fontconfig gives for "Courier", a fixed
    // size, native rendering, no kerning, and no shaping (the viewer's choice: most of a
    // rich-text set is spent shaping every block again in each of the document's layout
    // passes, and ASCII in a monospace font looks the same unshaped).
    {"RichTextItem", "Text { font.family: \"Courier\"; textFormat: Text.RichText }", true},
    {"RichTextLiberationMono", "Label { font.family: \"Liberation Mono\"; textFormat: Text.RichText }", true},
    {"RichTextFixedSize", COURIER_LABEL("textFormat: Text.RichText; width: 400; height: 800"), true},
    {"RichTextNativeRendering", COURIER_LABEL("textFormat: Text.RichText; renderType: Text.NativeRendering"), true},
    {"RichTextNoKerning", COURIER_LABEL("textFormat: Text.RichText; font.kerning: false"), true},
    {"RichTextNoShaping", COURIER_LABEL("textFormat: Text.RichText; font.preferShaping: false"), true},
    // An unchanged text: the item compares it with the one it shows and does nothing.
    {"RichTextUnchanged", COURIER_LABEL("textFormat: Text.RichText"), false},
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    for (const Variant& variant : variants)
        benchmark::RegisterBenchmark((std::string("BM_OptimizationText/") + variant.name).c_str(), BM_OptimizationText,
                                     variant.qml, variant.alternate)
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
