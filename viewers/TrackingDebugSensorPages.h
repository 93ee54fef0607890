#pragma once
// Tracking Debug pages drawn from the sensor side of the pipeline, all in the tracker frame
// (metres): the rays of one optical frame, the optimiser's frame history, and the inertial up
// estimate.

#include <vector>

#include "engine/LinedMeshConstructor.h"
#include "tracking/runtime/inertial/AngularVelocityAverager.h"
#include "tracking/runtime/pipeline/History.h"
#include "tracking/runtime/inertial/InertialLeap.h"
#include "tracking/runtime/inertial/UpCollector.h"

namespace TrackingDebug {

// The camera sits this far along the tracker's z axis; rays start there.
constexpr float rayOriginZ = 0.0195f;

// "Optics": a unit coordinate frame, the frame's up vector in green, and every ray from the
// camera: a ray pointing below the horizon (m = -(up . d) > 0) is stretched to the unit plane
// below the tracker (d / m) in black, one pointing above drawn at unit length in pink.
void drawOptics(KestrelQt3DEngine::LinedMeshConstructor& geometry, const Kestrel::Orb::Tracking::OpticFrame& frame);

// "History": where the newest frame's matched rays meet their markers against where the same
// blobs were seen in the frame before (blue); the newest inertial leap (position delta / t^2,
// velocity delta / 2t, which for a tracker at rest both have the length of half a g); and the
// rays of the stored frames as dots coloured by their marker tag, each joined to the blob it
// continues in the frame before.
void drawHistory(KestrelQt3DEngine::LinedMeshConstructor& geometry, const Kestrel::Orb::Tracking::History& history,
                 const std::vector<Kestrel::Orb::Tracking::HistoryMarker>& newest);

// "UMI": the mean accelerometer reading of the up collector's last 100 samples, turned back into
// the tracker frame, as a green ray labelled with its length in g.
void drawUmi(KestrelQt3DEngine::LinedMeshConstructor& geometry, const Kestrel::Orb::Tracking::UpCollector<double>& up);

} // namespace TrackingDebug
