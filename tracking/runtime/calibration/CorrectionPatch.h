#pragma once
// The correction map over one triangle of the image mesh: a cubic Bezier triangle built from
// each vertex's (value f, slope terms a, b).
//
// For vertices P0, P1, P2 and barycentric coordinates (b0, b1, b2):
//   edge control points  b_ij = f_i - (a_i (Pj.x - Pi.x) + b_i (Pj.y - Pi.y)) / 3
//   edge blends at the foot of the opposite vertex
//       e01 = (1 - l) b_01 + l b_10,  l = ((P2 - P0) . (P1 - P0)) / |P1 - P0|^2
//       e02 = (1 - l) b_20 + l b_02,  l = ((P1 - P2) . (P0 - P2)) / |P0 - P2|^2
//       e12 = (1 - l) b_12 + l b_21,  l = ((P0 - P1) . (P2 - P1)) / |P2 - P1|^2
//   centre  c = (b0 b1 e01 + b0 b2 e02 + b1 b2 e12) / (b0 b1 + b0 b2 + b1 b2), or with the weights
//       (b0 + b1) / 2, (b0 + b2) / 2, (b1 + b2) / 2 when that denominator is exactly 0
//   value   f0 b0^3 + f1 b1^3 + f2 b2^3
//         + 3 (b_01 b0^2 b1 + b_10 b0 b1^2 + b_02 b0^2 b2 + b_20 b0 b2^2 + b_12 b1^2 b2 + b_21 b1 b2^2)
//         + 6 c b0 b1 b2.
// On an edge the value depends only on that edge's two vertices, so neighbouring patches agree.

#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/ImageMesh.h"

namespace Kestrel::Orb::Tracking {

double correctionPatchValue(const ImageMesh& mesh, const ImageMesh::Location& location, const CorrectionSet& set);

} // namespace Kestrel::Orb::Tracking
