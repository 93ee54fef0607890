#include "tracking/runtime/pipeline/MarkerAssociation.h"

#include <algorithm>

namespace Kestrel::Orb::Tracking {

namespace {

// Writes `label` on the ray linked from (age, index) and further back, until a ray already
// carries it, a link is missing or the History ends.
void carryBack(History& history, int age, int32_t link, MarkerIndex label) {
    for (int older = age + 1; older < history.count() && link >= 0; ++older) {
        auto& rays = history.fromNewest(older).frame.rays;
        if (std::size_t(link) >= rays.size())
            return;
        Ray& ray = rays[link];
        if (ray.markerIndex == label)
            return;
        ray.markerIndex = label;
        link = ray.previousLink;
    }
}

} // namespace

void associate(History& history, const std::vector<KestrelMath::vector<float, 3>>& markers,
               const OptimizerState& state, const std::vector<HistoryMarker>& previous,
               std::vector<HistoryMarker>& newest) {
    using KestrelMath::vector;
    std::vector<Ray>& rays = history.fromNewest(0).frame.rays;
    const std::size_t markerCount = markers.size();

    newest.clear();
    double distanceSum = 0;
    int matched = 0;
    for (const Ray& ray : rays) {
        if (isMarker(ray.markerIndex, markerCount)) {
            const float distance = KestrelMath::length(markers[ray.markerIndex] - state.position);
            newest.push_back({ray.direction, distance, 1.0f});
            distanceSum += distance;
            ++matched;
        } else {
            newest.push_back({ray.direction, history.defaultMarkerDistance, 0.001f});
        }
    }
    if (matched > 0)
        history.defaultMarkerDistance = std::clamp(float(distanceSum / matched), 0.5f, 5.0f);

    history.projections.clear();
    if (history.count() < 2)
        return;
    const FrameRecord& older = history.fromNewest(1);
    std::vector<Ray>& previousRays = history.fromNewest(1).frame.rays;
    const KestrelMath::quaternion<float> turn = leapRotation(older.leap);
    const float dt = older.leap.duration;
    const vector<float, 3> velocity = state.rotation.conjugate().rotate(state.velocity);

    // Previous blobs moved into the new frame: p = R^T (direction * distance) - dt v.
    std::vector<HistoryMarker>& predicted = history.projections;
    predicted.reserve(previous.size());
    for (const HistoryMarker& entry : previous) {
        const vector<float, 3> point =
            turn.conjugate().rotate(entry.direction * entry.distance) - velocity * dt;
        const float distance = KestrelMath::length(point);
        predicted.push_back({point / distance, distance, entry.weight});
    }
    // The previous frame's rays and its entries correspond one to one; be safe if they do not.
    const std::size_t candidates = std::min(predicted.size(), previousRays.size());

    std::size_t scanStart = 0;
    for (std::size_t j = 0; j < rays.size(); ++j) {
        HistoryMarker& entry = newest[j];
        for (std::size_t k = scanStart; k < candidates; ++k) {
            const HistoryMarker& blob = predicted[k];
            const double weightSum = double(entry.weight) + blob.weight;
            const double d = (double(blob.weight) * blob.distance + double(entry.weight) * entry.distance) / weightSum;
            const vector<float, 3> gap = entry.direction - blob.direction;
            if (d * d * KestrelMath::dot(gap, gap) >= associationThreshold)
                continue;

            Ray& ray = rays[j];
            Ray& old = previousRays[k];
            ray.previousLink = int32_t(k);
            const bool newSet = isMarker(ray.markerIndex, markerCount);
            const bool oldSet = isMarker(old.markerIndex, markerCount);
            if (newSet && !oldSet) {
                old.markerIndex = ray.markerIndex;
                old.matchedByOrientation = ray.matchedByOrientation;
                carryBack(history, 1, old.previousLink, ray.markerIndex);
            } else if (newSet && oldSet && ray.markerIndex == old.markerIndex) {
                ray.matchedByOrientation = ray.matchedByOrientation | old.matchedByOrientation;
            } else if (newSet && oldSet && ray.matchedByOrientation && !old.matchedByOrientation) {
                old.markerIndex = ray.markerIndex;
                old.matchedByOrientation = ray.matchedByOrientation;
                carryBack(history, 1, old.previousLink, ray.markerIndex);
            } else if (!newSet && oldSet) {
                ray.markerIndex = old.markerIndex;
                ray.matchedByOrientation = old.matchedByOrientation;
            }
            entry.distance = float(d);
            entry.weight = std::max(0.001f, 0.99f * std::max(entry.weight, blob.weight));
            if (k == scanStart)
                ++scanStart;
            break;
        }
    }
}

} // namespace Kestrel::Orb::Tracking
