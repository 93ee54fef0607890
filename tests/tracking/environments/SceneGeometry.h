#pragma once
// Ground-truth geometry for the environment tests, in double precision with plain 3x3
// matrices, so that expected values do not come from the code under test.

#include <array>
#include <cmath>
#include <random>

#include "tracking/environments/EnvironmentTypes.h"

namespace SceneGeometry {

constexpr double pi = 3.14159265358979323846;

using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;  // rows

inline Vec add(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec scale(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double norm(const Vec& a) { return std::sqrt(dot(a, a)); }
inline Vec unit(const Vec& a) { return scale(a, 1 / norm(a)); }
inline Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline Vec times(const Mat& m, const Vec& v) { return {dot(m[0], v), dot(m[1], v), dot(m[2], v)}; }
inline Mat transpose(const Mat& m) {
    return {{{m[0][0], m[1][0], m[2][0]}, {m[0][1], m[1][1], m[2][1]}, {m[0][2], m[1][2], m[2][2]}}};
}
inline Mat multiply(const Mat& a, const Mat& b) {
    Mat bt = transpose(b), r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = dot(a[i], bt[j]);
    return r;
}
inline Mat rotationX(double t) { return {{{1, 0, 0}, {0, std::cos(t), -std::sin(t)}, {0, std::sin(t), std::cos(t)}}}; }
inline Mat rotationY(double t) { return {{{std::cos(t), 0, std::sin(t)}, {0, 1, 0}, {-std::sin(t), 0, std::cos(t)}}}; }
inline Mat rotationZ(double t) { return {{{std::cos(t), -std::sin(t), 0}, {std::sin(t), std::cos(t), 0}, {0, 0, 1}}}; }
// Rotation by `angle` about the unit `axis` (Rodrigues).
inline Mat rotationAbout(const Vec& a, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    return {{{t * a[0] * a[0] + c, t * a[0] * a[1] - s * a[2], t * a[0] * a[2] + s * a[1]},
             {t * a[0] * a[1] + s * a[2], t * a[1] * a[1] + c, t * a[1] * a[2] - s * a[0]},
             {t * a[0] * a[2] - s * a[1], t * a[1] * a[2] + s * a[0], t * a[2] * a[2] + c}}};
}
// Matrix of a unit quaternion (x, y, z, w), written out from the quaternion product.
inline Mat matrixOf(const Kestrel::Orb::Tracking::Quatf& q) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}
inline double largestDifference(const Mat& a, const Mat& b) {
    double d = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            d = std::max(d, std::abs(a[i][j] - b[i][j]));
    return d;
}
// Angle of the rotation a * b^T.
inline double angleBetween(const Mat& a, const Mat& b) {
    const Mat r = multiply(a, transpose(b));
    const double c = (r[0][0] + r[1][1] + r[2][2] - 1) / 2;
    return std::acos(std::max(-1.0, std::min(1.0, c)));
}

inline Vec toVec(const Kestrel::Orb::Tracking::Vec3f& v) { return {v[0], v[1], v[2]}; }
inline Kestrel::Orb::Tracking::Vec3f toFloat(const Vec& v) {
    return Kestrel::Orb::Tracking::Vec3f{{float(v[0]), float(v[1]), float(v[2])}};
}

// A tracker pose: environment = rotation * tracker + position.
struct TruePose {
    Mat rotation;
    Vec position;
    // Unit ray from the tracker towards `point`, in the tracker frame.
    Vec rayTo(const Vec& point) const { return unit(times(transpose(rotation), sub(point, position))); }
};

// The unit ray `ray` turned by `angle` about a random axis perpendicular to it.
inline Vec perturb(const Vec& ray, double angle, std::mt19937& random) {
    std::normal_distribution<double> normal;
    Vec axis = unit(cross(ray, Vec{normal(random), normal(random), normal(random)}));
    return unit(times(rotationAbout(axis, angle), ray));
}

} // namespace SceneGeometry
