#pragma once
// Error measures and statistics of an `orbtool track` run.

#include <algorithm>
#include <cmath>
#include <vector>

namespace OrbTool {

struct ErrorSummary {
    bool empty = true;
    double rms = 0, p95 = 0, max = 0;
};

// RMS, 95th percentile (nearest rank) and maximum of `values`.
inline ErrorSummary summarise(std::vector<double> values) {
    ErrorSummary s;
    if (values.empty())
        return s;
    s.empty = false;
    double squares = 0;
    for (double v : values)
        squares += v * v;
    s.rms = std::sqrt(squares / double(values.size()));
    std::sort(values.begin(), values.end());
    const std::size_t rank = std::size_t(std::ceil(0.95 * double(values.size())));
    s.p95 = values[std::max<std::size_t>(rank, 1) - 1];
    s.max = values.back();
    return s;
}

// Angle in degrees between two rotations given as quaternions (x, y, z, w) of any length:
// both are normalised in double, and the angle of the relative rotation conj(truth) * estimate
// is 2 atan2(|v|, |w|), which stays exact for small angles where 2 acos(|q . t|) loses them to
// round-off (and to a dot product above 1 from a quaternion that is not quite normalised).
inline double rotationErrorDegrees(const double estimate[4], const double truth[4]) {
    const double en = std::sqrt(estimate[0] * estimate[0] + estimate[1] * estimate[1] + estimate[2] * estimate[2] +
                                estimate[3] * estimate[3]);
    const double tn = std::sqrt(truth[0] * truth[0] + truth[1] * truth[1] + truth[2] * truth[2] + truth[3] * truth[3]);
    const double e[4] = {estimate[0] / en, estimate[1] / en, estimate[2] / en, estimate[3] / en};
    const double t[4] = {truth[0] / tn, truth[1] / tn, truth[2] / tn, truth[3] / tn};
    // conj(t) * e: w = tw ew + tv . ev, v = tw ev - ew tv - tv x ev.
    const double w = t[3] * e[3] + t[0] * e[0] + t[1] * e[1] + t[2] * e[2];
    const double vx = t[3] * e[0] - e[3] * t[0] - (t[1] * e[2] - t[2] * e[1]);
    const double vy = t[3] * e[1] - e[3] * t[1] - (t[2] * e[0] - t[0] * e[2]);
    const double vz = t[3] * e[2] - e[3] * t[2] - (t[0] * e[1] - t[1] * e[0]);
    return 2.0 * std::atan2(std::sqrt(vx * vx + vy * vy + vz * vz), std::fabs(w)) * 180.0 / M_PI;
}

} // namespace OrbTool
