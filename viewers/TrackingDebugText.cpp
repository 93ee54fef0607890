#include "viewers/TrackingDebugText.h"

#include <QTextStream>

#include <cmath>

#include "tracking/runtime/pipeline/TrackingStage.h"

namespace TrackingDebug {

namespace {

// Threshold below which a delta component is shown in grey.
constexpr double deltaThreshold = 0.0001;

// "Title<br>x:..<br>y:..<br>z:..<br>" with the text stream's default number format.
void appendVector(QTextStream& out, const char* title, const KestrelMath::vector<float, 3>& value) {
    out << title << "<br>";
    out << "x:" << value[0] << "<br>";
    out << "y:" << value[1] << "<br>";
    out << "z:" << value[2] << "<br>";
}

void appendDeltaBlock(QString& text, const char* title, const Kestrel::Orb::Tracking::StateDelta& delta, std::size_t first) {
    static const char* const labels[3] = {"x  ", "y  ", "z  "};
    text += QLatin1String(title) + QStringLiteral("<br>");
    for (std::size_t k = 0; k < 3; ++k) {
        const double value = first + k < delta.size() ? double(delta[first + k]) : 0.0;
        text += vectorTextRow(QLatin1String(labels[k]), value, deltaThreshold);
    }
}

} // namespace

QString general(double value, int digits) { return QString::number(value, 'g', digits); }

QString vectorTextRow(const QString& label, double value, double threshold) {
    QString number = general(value);
    if (value >= 0)
        number.prepend(QLatin1Char('+'));
    if (threshold > std::abs(value))
        number = QStringLiteral("<font color = gray>") + number + QStringLiteral("</font>");
    return label + number + QStringLiteral("<br>");
}

QString optimizationText(const Kestrel::Orb::Tracking::OptimizerState& state,
                         const Kestrel::Orb::Tracking::StateDelta& delta) {
    QString text;
    {
        QTextStream out(&text);
        appendVector(out, "Position", state.position);
        appendVector(out, "Velocity", state.velocity);
        appendVector(out, "Accelerometer correction", state.accelerometerCorrection);
        out << "<br>";
    }
    appendDeltaBlock(text, "Position delta", delta, 0);
    appendDeltaBlock(text, "Velocity delta", delta, 3);
    appendDeltaBlock(text, "Rotation delta", delta, 6);
    appendDeltaBlock(text, "Accelerometer delta", delta, 9);
    return text;
}

QString userText(const Kestrel::Orb::Tracking::State& state) {
    return QStringLiteral("stability stage: ") +
           QString::fromLatin1(Kestrel::Orb::Tracking::stageName(state.stabilityStage)) + QStringLiteral("<br>") +
           QStringLiteral("stability.value: ") + QString::number(double(state.stabilityValue)) + QStringLiteral("<br>");
}

QString noEnvironmentText() {
    return QStringLiteral("No environment configured<br>"
                          "Store one with: orbtool storage write environment default CODE<br>"
                          "(a CODE comes from: orbtool env encode ...), then open the viewer again.");
}

} // namespace TrackingDebug
