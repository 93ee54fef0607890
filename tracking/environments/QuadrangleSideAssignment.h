#pragma once
// Which seen bar lies on which side of the quadrangle, from the geometry of roughly
// perpendicular pairs.
//
// For a pair (i, j), i < j, with |d_i . d_j| <= cos(pi/4) L^2 (d = last - first, L the bar
// length), the bars' lines meet at X. With a = d_i . (X - m_i) > 0 and b = d_j . (X - m_j) > 0
// (m the midpoints) the pair's corner code A and its second choice w are
//     a, b: A = 1, w = 3;   a, !b: A = 0, w = 2;   !a, b: A = 2, w = 0;   !a, !b: A = 3, w = 1.
// The pair is taken in the order (B, C) = (i, j); when (X - m_i) x (X - m_j) > 0 it becomes
// (j, i), and an even A is replaced by w. Then B goes on side A and C on side A + 1 (mod 4);
// a side that already holds another bar makes the whole assignment fail.
//
// In the layout this yields, side 0 runs along +x, side 1 along +z at larger x, side 2 along
// +x at larger z, and side 3 along +z at smaller x: corner d, where side d meets side d + 1,
// is the corner of code d.

#include <array>
#include <cstdint>
#include <vector>

#include <Eigen/Core>

namespace Kestrel::Orb::Tracking {

struct FloorBar {
    Eigen::Vector2d first;
    Eigen::Vector2d middle;
    Eigen::Vector2d last;
    Eigen::Vector2d midpoint() const { return (first + last) / 2; }
    Eigen::Vector2d direction() const { return last - first; }
};

struct SideAssignment {
    bool assigned = false;                 // at least one pair was assigned, without conflict
    std::array<int, 4> bar{{-1, -1, -1, -1}};  // bar index on each side, -1 for none
    uint8_t cornerCodes = 0;               // bit A set for every assigned pair's code A
};

SideAssignment assignSides(const std::vector<FloorBar>& bars, double barLength);

} // namespace Kestrel::Orb::Tracking
