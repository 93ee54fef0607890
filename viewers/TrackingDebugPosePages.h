#pragma once
// Tracking Debug pages drawn from the pose side of the pipeline (environment coordinates,
// metres, y up): the visual pose, the marker matching, the optimised state with its history,
// and the tracked and placed poses the user of the tracker reads.

#include <array>
#include <vector>

#include <QString>

#include "engine/LinedMeshConstructor.h"
#include "tracking/runtime/pipeline/ITrackingCotask.h"
#include "tracking/runtime/optimizer/OptimizerContext.h"

namespace TrackingDebug {

// "Visual position": the height of the visual position p as a label at p, and every ray of the
// frame turned by the visual rotation from p down to the floor y = 0, with a cross where it
// lands; unmatched rays in grey, matched ones in red, green or blue by marker index modulo 3.
void drawVisualPosition(KestrelQt3DEngine::LinedMeshConstructor& geometry, const Kestrel::Orb::Tracking::OpticFrame& frame,
                        const Kestrel::Orb::Tracking::Vec3f& position, const Kestrel::Orb::Tracking::Quatf& rotation);

// "MatchProjections": markers and projections as small circles (2D points laid into XZ), and for
// every matched projection a segment to its marker labelled with the marker and the distance
// in millimetres.
void drawMatchProjections(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                          const std::vector<Kestrel::Orb::Tracking::Vec2f>& markers,
                          const std::vector<Kestrel::Orb::Tracking::Vec2f>& projections,
                          const std::vector<Kestrel::Orb::Tracking::MarkerIndex>& indices);

// "Optimization": the markers, the newest frame's rays from the optimised camera centre (matched
// ones reaching their marker's distance, with the miss to the marker labelled, green where the
// optimiser used the ray and grey where it left it out), and the older
// frames' poses carried back through their inertial leaps with their rays as dots. Returns the
// page's text (optimizationText).
QString drawOptimization(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                         const std::vector<Kestrel::Orb::Tracking::Vec3f>& markers,
                         const Kestrel::Orb::Tracking::OptimizerState& state,
                         const Kestrel::Orb::Tracking::StateDelta& delta, const Kestrel::Orb::Tracking::History& history);

// What the "User" page shows: the tracker's state and the placed point extrapolated by
// i * 0.025 s for i = 0..4.
struct UserSnapshot {
    Kestrel::Orb::Tracking::Placement placement;
    Kestrel::Orb::Tracking::State tracker;
    std::array<Kestrel::Orb::Tracking::State, 5> placed;
};
constexpr float userAveragingSeconds = 0.1f;
constexpr float userExtrapolationStep = 0.025f;

// "User": small frames at the origin and at the placement, the tracker as a frame of 0.5, the
// placed point's five extrapolations fading out, and the placed point's velocity (yellow) and
// angular velocity (cyan). Returns the page's text (userText).
QString drawUser(KestrelQt3DEngine::LinedMeshConstructor& geometry, const UserSnapshot& snapshot);

} // namespace TrackingDebug
