#pragma once
// A square of four bars on the floor seen by a camera that looks down, in double precision
// with SceneGeometry, so that expected values do not come from the code under test.
//
// True layout: bars of 1.5 m (middle marker at 0.3) along the sides of a 3 m square, side 0
// centred at the origin along +x, side 1 at x = 1.5 along +z, side 2 at z = 3 along +x and
// side 3 at x = -1.5 along +z, each moved by up to 20 cm and turned by up to 10 degrees.
// The camera (tracker frame: optical axis +z, unified model with xi) sees markers within
// `halfAngle` of its axis; near a corner of the square it sees that corner's two bars only.

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "SceneGeometry.h"
#include "tracking/environments/EnvironmentInterfaces.h"

namespace QuadrangleScene {

using namespace SceneGeometry;
using Kestrel::Orb::Tracking::EnvironmentUpdateRay;
using Kestrel::Orb::Tracking::Vec3f;

constexpr double barLength = 1.5;
constexpr double middleRatio = 0.3;
constexpr double xi = 0.5;

struct BarPose {
    double x, z, heading;
};

struct Layout {
    std::array<BarPose, 4> bars;

    // Marker side * 3 + k at x + cos(h) X_k, z + sin(h) X_k, X = (-L/2, -L/2 + qL, L/2).
    Vec marker(int index) const {
        const BarPose& bar = bars[index / 3];
        const double along[3] = {-barLength / 2, -barLength / 2 + middleRatio * barLength, barLength / 2};
        const double a = along[index % 3];
        return {bar.x + std::cos(bar.heading) * a, 0, bar.z + std::sin(bar.heading) * a};
    }
    // Marker `index` in the frame of side 0's bar (its centre at the origin, along +x).
    Vec markerOnSide0(int index) const {
        const Vec m = marker(index);
        const double c = std::cos(bars[0].heading), s = std::sin(bars[0].heading);
        const double dx = m[0] - bars[0].x, dz = m[2] - bars[0].z;
        return {c * dx + s * dz, 0, -s * dx + c * dz};
    }
};

inline Layout nominalLayout() {
    return {{{{0, 0, 0}, {1.5, 1.5, pi / 2}, {0, 3, 0}, {-1.5, 1.5, pi / 2}}}};
}

// Offsets up to 0.2 m in each axis and turns up to 10 degrees.
inline Layout disturbedLayout(std::mt19937& random) {
    std::uniform_real_distribution<double> offset(-0.2, 0.2), turn(-10 * pi / 180, 10 * pi / 180);
    Layout layout = nominalLayout();
    for (BarPose& bar : layout.bars) {
        bar.x += offset(random);
        bar.z += offset(random);
        bar.heading += turn(random);
    }
    return layout;
}

// P(u) = (u_x, u_y) / |(u_x, u_y, u_z + xi)| for a unit u.
inline std::array<double, 2> project(const Vec& u) {
    const double n = std::sqrt(u[0] * u[0] + u[1] * u[1] + (u[2] + xi) * (u[2] + xi));
    return {u[0] / n, u[1] / n};
}

// -dP/du at u by central differences of P over the unnormalised direction.
inline std::array<float, 6> negativeProjectionDerivative(const Vec& u) {
    std::array<float, 6> j{};
    const double h = 1e-6;
    for (int c = 0; c < 3; ++c) {
        Vec plus = u, minus = u;
        plus[c] += h;
        minus[c] -= h;
        const auto p = project(unit(plus)), m = project(unit(minus));
        j[c] = float(-(p[0] - m[0]) / (2 * h));
        j[3 + c] = float(-(p[1] - m[1]) / (2 * h));
    }
    return j;
}

// A camera `height` above (x, z), optical axis turned from straight down by `tiltX`, `tiltZ`
// (about the environment's x and z axes), image x axis at `yaw` about the vertical.
inline TruePose cameraAt(double x, double height, double z, double yaw, double tiltX = 0, double tiltZ = 0) {
    // Columns: tracker x -> (cos yaw, 0, -sin yaw), tracker z -> down, tracker y = z cross x.
    const Vec tx{std::cos(yaw), 0, -std::sin(yaw)}, tz{0, -1, 0};
    const Vec ty = cross(tz, tx);
    const Mat straight{{{tx[0], ty[0], tz[0]}, {tx[1], ty[1], tz[1]}, {tx[2], ty[2], tz[2]}}};
    return {multiply(multiply(rotationX(tiltX), rotationZ(tiltZ)), straight), {x, height, z}};
}

struct Frame {
    std::vector<EnvironmentUpdateRay> rays;
    std::vector<int> markerOfRay;  // true marker index of each ray
    Vec3f up;                      // tracker frame
};

// The markers within `halfAngle` of the optical axis, each ray turned by a normal angle of
// standard deviation `noise` (radians) about a random axis; the up direction exact.
inline Frame frameOf(const Layout& layout, const TruePose& camera, double noise, std::mt19937& random,
                     double halfAngle = 55 * pi / 180) {
    Frame frame;
    std::normal_distribution<double> angle(0, 1);
    for (int index = 0; index < 12; ++index) {
        Vec ray = camera.rayTo(layout.marker(index));
        if (ray[2] < std::cos(halfAngle))
            continue;
        if (noise > 0)
            ray = perturb(ray, noise * angle(random), random);
        EnvironmentUpdateRay r{};
        r.value = 40;
        r.direction = toFloat(ray);
        const auto point = project(ray);
        r.imagePoint = Kestrel::Orb::Tracking::Vec2f{{float(point[0]), float(point[1])}};
        const auto j = negativeProjectionDerivative(ray);
        std::copy(j.begin(), j.end(), r.projectionDerivative);
        frame.rays.push_back(r);
        frame.markerOfRay.push_back(index);
    }
    frame.up = toFloat(times(transpose(camera.rotation), Vec{0, 1, 0}));
    return frame;
}

inline std::vector<Vec3f> directionsOf(const Frame& frame) {
    std::vector<Vec3f> directions;
    for (const EnvironmentUpdateRay& ray : frame.rays)
        directions.push_back(ray.direction);
    return directions;
}

// Centres above which the camera sees exactly the two bars of corner d of the nominal square.
inline std::array<double, 2> cornerView(int corner) {
    static const double centres[4][2] = {{1.1, 0.4}, {1.1, 2.6}, {-1.1, 2.6}, {-1.1, 0.4}};
    return {centres[corner][0], centres[corner][1]};
}

} // namespace QuadrangleScene
