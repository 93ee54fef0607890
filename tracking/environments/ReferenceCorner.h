#pragma once
// Where one corner's second bar lies in the frame of its first bar, with weights, and the
// exponential forgetting and weighted averaging of such corners over frames.
//
// Corner d joins side d and side (d + 1) mod 4. Its value is the pose of side (d + 1)'s bar in
// the frame of side d's bar: the offset (x, y) on the floor (bar frame: x along the bar from its
// first to its last marker, y the floor's second axis) and the heading difference in [-pi, pi].
// Each component carries its own weight, dimensionless: a clear observation of one frame
// weighs close to 1.

#include <array>
#include <optional>

namespace Kestrel::Orb::Tracking {

struct ReferenceCorner {
    float x = 0;
    float y = 0;
    float heading = 0;  // radians, [-pi, pi]
    float weightX = 0;
    float weightY = 0;
    float weightHeading = 0;

    // Whether any observation has reached it yet (weights never fall to 0 once they are set).
    bool observed() const { return weightX > 0 || weightY > 0 || weightHeading > 0; }
};

using CornerObservations = std::array<std::optional<ReferenceCorner>, 4>;
using AccumulatedCorners = std::array<ReferenceCorner, 4>;

constexpr float cornerWeightFloor = 0.1f;

// The angle moved into [-pi, pi] by whole turns (angles inside are kept as they are).
double wrapAngle(double angle);

// Weights halve every second: w := max(w * 0.5^seconds, 0.1). A corner that has never been
// observed keeps its zero weights, so that it cannot pull the first observation towards 0.
void decayCorner(ReferenceCorner& corner, double seconds);

// Weighted mean per component: v := (w v + w' v') / (w + w'), w := w + w'. The heading moves
// by the wrapped difference, so that means across +-pi stay near +-pi.
void mergeCorner(ReferenceCorner& accumulated, const ReferenceCorner& observation);

} // namespace Kestrel::Orb::Tracking
