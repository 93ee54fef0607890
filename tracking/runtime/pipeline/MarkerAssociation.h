#pragma once
// Blob tracks between the newest History frame and the one before, and the propagation of
// marker labels along them.

#include <vector>

#include "tracking/runtime/pipeline/History.h"
#include "tracking/runtime/optimizer/OptimizerState.h"

namespace Kestrel::Orb::Tracking {

// Squared lateral distance (metres^2) below which a new ray continues a previous blob.
constexpr double associationThreshold = 1e-4;

// Builds `newest` (one entry per ray of the newest History frame) from the state and the
// markers, links every new ray to a blob of `previous` (the entries of the frame before),
// and moves labels between the linked rays: a label found on the new ray is carried back
// through older frames along the links; a label only the old blob had is taken over. The
// previous blobs as predicted in the newest frame are kept in history.projections.
void associate(History& history, const std::vector<KestrelMath::vector<float, 3>>& markers,
               const OptimizerState& state, const std::vector<HistoryMarker>& previous,
               std::vector<HistoryMarker>& newest);

} // namespace Kestrel::Orb::Tracking
