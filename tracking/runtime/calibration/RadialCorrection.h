#pragma once
// Radial correction of the distorted normalized radius.
//
// With u = r^3, the corrected radius is r * s(u) where s = F(u) / u for u < 1 and 1 beyond.
// F is a uniform quadratic spline on [0, 1] with 13 segments: middle control points
// d_k = c_k + (2k + 1) / 26 (k = 0..11), d_12 = 25 / 26; segment k covers [k/13, (k+1)/13) and,
// with t = 13u - k, is the quadratic Bezier curve from S_k to E_k through d_k:
//     F = (S_k - 2 d_k + E_k) t^2 + 2 (d_k - S_k) t + S_k,
//     S_0 = 0, S_k = (d_(k-1) + d_k) / 2, E_k = (d_k + d_(k+1)) / 2, E_12 = 1.
// Zero offsets give F(u) = u, hence s = 1 everywhere.

#include <array>

namespace Kestrel::Orb::Tracking {

class RadialCorrection {
public:
    explicit RadialCorrection(const std::array<float, 12>& offsets);

    // s(u). Segment 0 uses the closed form s = 169 (E_0 - 2 d_0) u + 26 d_0, which is finite
    // at u = 0 where F(u) / u is not.
    float scale(float u) const;

private:
    std::array<float, 13> d_{};
};

} // namespace Kestrel::Orb::Tracking
