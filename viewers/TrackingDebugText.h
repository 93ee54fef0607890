#pragma once
// The HTML texts of the Tracking Debug viewer's label and the number formats of its drawings.

#include <QString>

#include "tracking/runtime/pipeline/ITrackingCotask.h"
#include "tracking/runtime/optimizer/OptimizerContext.h"

namespace TrackingDebug {

// General format ("%g") with `digits` significant digits.
QString general(double value, int digits = 6);

// One row of a vector component: the label, then the value with a sign ("+" for values >= 0)
// in general format; a value smaller in magnitude than `threshold` is greyed out, so that the
// components that matter stand out. Ends with "<br>".
QString vectorTextRow(const QString& label, double value, double threshold);

// The optimised position, velocity and accelerometer correction, then the four three-row
// blocks of the 12-value state delta (position, velocity, rotation, accelerometer).
QString optimizationText(const Kestrel::Orb::Tracking::OptimizerState& state,
                         const Kestrel::Orb::Tracking::StateDelta& delta);

// The stability stage by name and the stability value.
QString userText(const Kestrel::Orb::Tracking::State& state);

// What the label shows when no environment is stored: the fact and the command that stores one.
QString noEnvironmentText();

} // namespace TrackingDebug
