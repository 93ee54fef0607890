#pragma once
// Ground truth for the rigid environment tests: marker positions of a tile layout written out
// from the layout's description, random camera poses over it, and the rays they see.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "SceneGeometry.h"
#include "tracking/environments/EnvironmentCode.h"

namespace RigidScene {

using namespace SceneGeometry;
using Kestrel::Orb::Tracking::RigidParameters;
using Kestrel::Orb::Tracking::RigidTile;

// A "puzzle" layout of 0.6 m tiles whose bars hold their middle marker at a third.
inline RigidParameters puzzleGrid(uint32_t width, uint32_t depth, std::vector<RigidTile> tiles, float barLength = 1.5f) {
    RigidParameters p;
    p.width = width;
    p.depth = depth;
    p.barLength = barLength;
    p.middleRatio = 0.33333334f;
    p.tileSize = 0.6f;
    p.tiles = std::move(tiles);
    return p;
}

// Marker k of tile t: the bar along its own axis at -L/2, -L/2 + qL, +L/2, turned by barAngle,
// moved by the offset, turned by the tile's quarter turns, placed at the tile centre.
inline std::vector<Vec> markersOf(const RigidParameters& p) {
    const double L = p.barLength, q = p.middleRatio;
    const double along[3] = {-L / 2, -L / 2 + q * L, L / 2};
    const double cx = (p.width / 2.0 - 0.5) * p.tileSize, cz = (p.depth / 2.0 - 0.5) * p.tileSize;
    std::vector<Vec> markers;
    for (const RigidTile& tile : p.tiles)
        for (double a : along) {
            const double x0 = a * std::cos(double(p.barAngle)) + p.barOffsetX;
            const double z0 = a * std::sin(double(p.barAngle)) + p.barOffsetY;
            const double turn = (tile.orientation & 3) * pi / 2;
            const double x = x0 * std::cos(turn) - z0 * std::sin(turn), z = x0 * std::sin(turn) + z0 * std::cos(turn);
            markers.push_back({tile.x * double(p.tileSize) + x - cx, p.planeHeight, tile.y * double(p.tileSize) + z - cz});
        }
    return markers;
}

// Whether marker `m` lies inside the detector ellipse (shape (0.6, 0.6, 0) at scale `scale`,
// grown by `margin`) of the bar `first`..`last` in the marker plane.
inline bool nearBar(const Vec& first, const Vec& last, const Vec& m, double scale, double margin) {
    const double along = ((0.6 - 0.5) * scale + 0.5) * margin, across = 0.6 * scale * margin;
    const double dx = last[0] - first[0], dz = last[2] - first[2], l2 = dx * dx + dz * dz;
    const double ox = m[0] - (first[0] + last[0]) / 2, oz = m[2] - (first[2] + last[2]) / 2;
    const double u = (ox * dx + oz * dz) / l2, v = (-ox * dz + oz * dx) / l2;
    return (u / along) * (u / along) + (v / across) * (v / across) < 1;
}

// A layout of `p`'s grid filled greedily in a pseudo-random order (raw std::mt19937 draws, so
// the same on every standard library): a tile with a random turn is kept when no marker of it
// comes near another tile's bar and no other marker comes near its own bar.
inline RigidParameters clearLayout(RigidParameters p, unsigned seed, double margin = 1.3) {
    std::mt19937 random(seed);
    std::vector<RigidTile> cells;
    for (uint32_t x = 0; x < p.width; ++x)
        for (uint32_t y = 0; y < p.depth; ++y)
            cells.push_back(RigidTile{x, y, 0});
    for (std::size_t i = cells.size(); i > 1; --i)
        std::swap(cells[i - 1], cells[random() % i]);
    p.tiles.clear();
    for (RigidTile cell : cells) {
        cell.orientation = uint8_t(random() % 4);
        RigidParameters trial = p;
        trial.tiles.push_back(cell);
        const std::vector<Vec> markers = markersOf(trial);
        bool clear = true;
        for (std::size_t b = 0; clear && b < trial.tiles.size(); ++b)
            for (std::size_t m = 0; clear && m < markers.size(); ++m)
                if (m / 3 != b && (b + 1 == trial.tiles.size() || m / 3 + 1 == trial.tiles.size()))
                    clear = !nearBar(markers[b * 3], markers[b * 3 + 2], markers[m], 0.75, margin);
        if (clear)
            p.tiles.push_back(cell);
    }
    return p;
}

struct View {
    TruePose pose;
    std::vector<Kestrel::Orb::Tracking::Vec3f> rays;
    std::vector<int> truth;  // marker index of each ray
    unsigned wholeBars = 0;  // tiles with all three markers in view
};

// A camera 1 to 2 m from the marker plane (below it for a ceiling), over the tile area, its
// optical axis (-y of the tracker) within `tilt` of straight towards the plane, any heading;
// rays to the markers within `halfView` of the optical axis, in random order, each turned by a
// random angle of normal spread `noise` (radians).
inline View randomView(const RigidParameters& p, const std::vector<Vec>& markers, std::mt19937& random, double noise,
                       double tilt = 30 * pi / 180, double halfView = 60 * pi / 180) {
    std::uniform_real_distribution<double> unit(0, 1);
    auto between = [&](double a, double b) { return a + (b - a) * unit(random); };
    View view;
    const double halfWidth = p.width * p.tileSize / 2.0, halfDepth = p.depth * p.tileSize / 2.0;
    const double height = between(1.0, 2.0);
    view.pose.position = {between(-halfWidth, halfWidth), p.planeHeight + (p.ceiling ? -height : height),
                          between(-halfDepth, halfDepth)};
    // Uniform over the cap of directions within `tilt`.
    const double cosTilt = between(std::cos(tilt), 1.0), tiltAngle = std::acos(cosTilt), azimuth = between(-pi, pi);
    const Mat tilted = rotationAbout({std::cos(azimuth), 0, std::sin(azimuth)}, tiltAngle);
    Mat rotation = multiply(tilted, rotationY(between(-pi, pi)));
    if (p.ceiling)
        rotation = multiply(rotation, rotationX(pi));
    view.pose.rotation = rotation;
    std::vector<std::size_t> order;
    std::vector<int> seenPerTile(markers.size() / 3, 0);
    for (std::size_t m = 0; m < markers.size(); ++m) {
        const Vec ray = view.pose.rayTo(markers[m]);
        if (-ray[1] > std::cos(halfView)) {
            order.push_back(m);
            ++seenPerTile[m / 3];
        }
    }
    for (int seen : seenPerTile)
        view.wholeBars += seen == 3;
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t m : order) {
        Vec ray = view.pose.rayTo(markers[m]);
        if (noise > 0)
            ray = perturb(ray, std::normal_distribution<double>(0, noise)(random), random);
        view.rays.push_back(toFloat(ray));
        view.truth.push_back(int(m));
    }
    return view;
}

} // namespace RigidScene
