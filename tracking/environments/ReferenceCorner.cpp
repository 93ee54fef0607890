#include "tracking/environments/ReferenceCorner.h"

#include <algorithm>
#include <cmath>

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double pi = 3.14159265358979323846;

// One component: value v with weight w merged with v' of weight w'.
void mergeComponent(float& value, float& weight, double observed, float observedWeight) {
    const double total = double(weight) + observedWeight;
    if (total <= 0)
        return;
    value = float((double(weight) * value + observedWeight * observed) / total);
    weight = float(total);
}

} // namespace

double wrapAngle(double angle) {
    if (angle >= -pi && angle <= pi)
        return angle;
    return angle - 2 * pi * std::round(angle / (2 * pi));
}

void decayCorner(ReferenceCorner& corner, double seconds) {
    if (!corner.observed())
        return;
    const double factor = std::pow(0.5, std::max(0.0, seconds));
    for (float* weight : {&corner.weightX, &corner.weightY, &corner.weightHeading})
        *weight = std::max(cornerWeightFloor, float(*weight * factor));
}

void mergeCorner(ReferenceCorner& accumulated, const ReferenceCorner& observation) {
    mergeComponent(accumulated.x, accumulated.weightX, observation.x, observation.weightX);
    mergeComponent(accumulated.y, accumulated.weightY, observation.y, observation.weightY);
    // The heading's mean is taken relative to the accumulated value, by the wrapped difference.
    const double difference = wrapAngle(double(observation.heading) - accumulated.heading);
    float offset = 0;
    mergeComponent(offset, accumulated.weightHeading, difference, observation.weightHeading);
    accumulated.heading = float(wrapAngle(double(accumulated.heading) + offset));
}

} // namespace Kestrel::Orb::Tracking
