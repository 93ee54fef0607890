#include "tracking/environments/QuadrangleSideAssignment.h"

#include <cmath>
#include <utility>

namespace Kestrel::Orb::Tracking {

namespace {

double cross(const Eigen::Vector2d& a, const Eigen::Vector2d& b) { return a.x() * b.y() - a.y() * b.x(); }

// Takes `bar` onto `side` unless the side already holds another bar.
bool place(std::array<int, 4>& sides, int side, int bar) {
    if (sides[side] != -1 && sides[side] != bar)
        return false;
    sides[side] = bar;
    return true;
}

} // namespace

SideAssignment assignSides(const std::vector<FloorBar>& bars, double barLength) {
    const double perpendicularLimit = std::cos(3.14159265358979323846 / 4) * barLength * barLength;
    SideAssignment result;
    bool anyPair = false;
    for (std::size_t i = 0; i < bars.size(); ++i)
        for (std::size_t j = i + 1; j < bars.size(); ++j) {
            const Eigen::Vector2d di = bars[i].direction(), dj = bars[j].direction();
            if (std::abs(di.dot(dj)) > perpendicularLimit)
                continue;
            const double denominator = cross(di, dj);
            if (denominator == 0)
                continue;
            // X = m_i + s d_i = m_j + t d_j.
            const Eigen::Vector2d mi = bars[i].midpoint(), mj = bars[j].midpoint();
            const Eigen::Vector2d crossing = mi + di * (cross(mj - mi, dj) / denominator);
            const bool a = di.dot(crossing - mi) > 0;
            const bool b = dj.dot(crossing - mj) > 0;
            int code, second;
            if (a && b) {
                code = 1;
                second = 3;
            } else if (a) {
                code = 0;
                second = 2;
            } else if (b) {
                code = 2;
                second = 0;
            } else {
                code = 3;
                second = 1;
            }
            int first = int(i), next = int(j);
            if (cross(crossing - mi, crossing - mj) > 0) {
                std::swap(first, next);
                if (code % 2 == 0)
                    code = second;
            }
            result.cornerCodes |= uint8_t(1u << code);
            if (!place(result.bar, code, first) || !place(result.bar, (code + 1) % 4, next)) {
                result.assigned = false;
                return result;
            }
            anyPair = true;
        }
    result.assigned = anyPair;
    return result;
}

} // namespace Kestrel::Orb::Tracking
