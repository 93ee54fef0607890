// Why a group that passes the fit test but finds none of its patterns in the index hands the
// frame on to the next group instead of ending it as not identified:
//
// Such a group is no evidence against the place. Perspective splits one view's bars into
// several groups, and a small group is often a pattern that the layout holds twice (so the
// index leaves it out); bars that are not the layout's (reflections, a second field of bars in
// view) form groups of their own too. Ending the frame at the first such group loses views
// that a later group, the widened groups or the tilted looks identify. Measured on the identification tests
// (2000 random poses per layout, rate over the poses that see minBars whole bars, exact rays /
// 0.5 mrad of ray noise), ending the frame there against passing on:
//   default puzzle floor        96.72 / 96.56 %  against  99.18 / 99.29 %
//   6x6, 0.5 m bars             88.64 / 86.91 %  against  97.47 / 97.28 %
//   10x10, 0.5 m bars           92.70 / 86.45 %  against  98.83 / 95.26 %
//   8x8 ceiling at 2.5 m        85.19 / 80.27 %  against  97.59 / 94.28 %
//   6x6 clear puzzle layout     98.26 / 97.74 %  against  99.93 / 99.59 %
// with no wrong identification either way. Passing on adds no unchecked way to a result: the
// group that does find a pattern is still held to every bar on an occupied tile with the right
// turn, to its rays meeting their markers after refinement, and to the whole frame's rays
// (see tryGroup). A group that finds its pattern but lands a bar on an empty cell still ends
// the frame.

#include "tracking/environments/OrbEnvironmentRigid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <Eigen/Dense>

#include "tracking/environments/BarDetector.h"
#include "tracking/environments/BarGeometry.h"
#include "tracking/environments/EnvironmentKinds.h"
#include "tracking/environments/GridOffset.h"
#include "tracking/environments/RayPoseRefinement.h"
#include "tracking/environments/RayProjection.h"
#include "tracking/environments/RigidDetectorShape.h"

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr std::size_t maximumBars = 64;
constexpr std::size_t maximumDetectionRays = 128;
constexpr double fitLimit = 0.1;            // mean squared template error per bar, square metres
constexpr double collinearLimit = 1e-3;     // scatter eigenvalue ratio below which the plane is unknown
constexpr double barShapeLimit = 0.1;      // rms distance of a bar's markers from its template, tile edges
constexpr double rayResidualLimit = 0.005;  // radians between a group ray and its marker after refinement
// Radians between a further ray and the marker it lands near, at the group's pose. Clean
// frames stay within 3 mrad; a ray further off is another light near a marker out of view (a
// lamp, a reflection), which is left unmatched rather than spoiling the identification.
constexpr double otherRayLimit = 0.01;
constexpr double planeLimit = 0.05;         // rms distance of a bar's markers from the group's plane, metres

using Eigen::Matrix3d;
using Eigen::Vector3d;
using Eigen::Vector2d;

Vector3d toEigen(const Vec3f& v) { return Vector3d(v[0], v[1], v[2]); }

// Angle between a camera-frame ray and the direction to `marker` from a camera at `position`.
double rayAngle(const Matrix3d& camera_world, const Vector3d& position, const Vec3f& marker, const Vec3f& ray) {
    const Vector3d toMarker = camera_world * (toEigen(marker) - position);
    const Vector3d r = toEigen(ray);
    return std::atan2(toMarker.cross(r).norm(), toMarker.dot(r));
}

// (x, y) turned by `turn` quarter turns, (x, y) -> (-y, x) per turn.
std::array<int32_t, 2> turnCell(int32_t x, int32_t y, int turn) {
    for (int r = 0; r < (turn & 3); ++r)
        std::tie(x, y) = std::make_tuple(-y, x);
    return {x, y};
}

Vec2f turnTemplate(const Vec2f& p, int orientation) {
    switch (orientation & 3) {
    case 1: return Vec2f{{-p.y(), p.x()}};
    case 2: return Vec2f{{-p.x(), -p.y()}};
    case 3: return Vec2f{{p.y(), -p.x()}};
    default: return p;
    }
}

// Work units of the steps of matching (see MatchBudget): the detector's measured, the others
// estimated against them.
constexpr uint64_t testWork = 5;             // one point tested against a pair's ellipse
constexpr uint64_t pairWork = 100;           // one pair of the bar detector, besides its tests
constexpr uint64_t cliqueStepWork = 20;      // one call of the clique enumeration
constexpr uint64_t groupWork = 500;          // forming and sorting one group, plus one unit per bar
constexpr uint64_t planeFitWork = 1000;      // one plane fit, plus barWork per bar
constexpr uint64_t barWork = 100;            // placing one bar in the plane, its template error
constexpr uint64_t candidateWork = 200;      // one pattern subset of a seen group
constexpr uint64_t rayWork = 300;            // one ray through refinement and marker lookup
constexpr uint64_t turnedLookWork = 50;      // turning one ray for a tilted look

// Bron-Kerbosch with pivoting over bit masks: every maximal clique of the graph, as long as
// the budget pays for each call; false when it ran out.
bool maximalCliques(uint64_t clique, uint64_t candidates, uint64_t excluded, const std::vector<uint64_t>& neighbours,
                    std::vector<uint64_t>& out, MatchBudget& budget) {
    if (!budget.spend(cliqueStepWork))
        return false;
    if (candidates == 0 && excluded == 0) {
        out.push_back(clique);
        return true;
    }
    const int pivot = __builtin_ctzll(candidates | excluded);
    uint64_t choices = candidates & ~neighbours[std::size_t(pivot)];
    while (choices) {
        const int v = __builtin_ctzll(choices);
        const uint64_t bit = uint64_t(1) << v;
        if (!maximalCliques(clique | bit, candidates & neighbours[std::size_t(v)],
                            excluded & neighbours[std::size_t(v)], neighbours, out, budget))
            return false;
        candidates &= ~bit;
        excluded |= bit;
        choices &= ~bit;
    }
    return true;
}

// Bars over at most maximumDetectionRays of `points`: with more, those of the rays nearest the
// optical axis (-y; ties: the earlier ray). The detector's work is recorded once done; the
// bars' indices are those of `points`. False when the budget is exhausted.
bool detectBars(const std::vector<Vec3f>& rays, const std::vector<Vec2f>& points, float middleRatio,
                const Vec3f& shape, MatchBudget& budget, std::vector<Bar>& bars) {
    std::vector<std::size_t> used(rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i)
        used[i] = i;
    if (used.size() > maximumDetectionRays) {
        std::stable_sort(used.begin(), used.end(), [&](std::size_t a, std::size_t b) { return rays[a].y() < rays[b].y(); });
        used.resize(maximumDetectionRays);
        std::sort(used.begin(), used.end());
    }
    std::vector<Vec2f> detected(used.size());
    for (std::size_t i = 0; i < used.size(); ++i)
        detected[i] = points[used[i]];
    uint64_t tests = 0;
    bars = findBars(detected, middleRatio, shape, OrbEnvironmentRigid::detectorScale, &tests);
    for (Bar& bar : bars)
        for (std::size_t& index : bar.v)
            index = used[index];
    const uint64_t pairs = uint64_t(used.size()) * (used.size() - 1) / 2;
    return budget.record(testWork * tests + pairWork * pairs + used.size());
}

// The tile list without the entries that a later entry for the same cell replaces, in code order.
std::vector<RigidTile> ownersOfTheirCells(const RigidParameters& p) {
    OrbEnvironmentRigidField owner(0, 0, int32_t(p.width) - 1, int32_t(p.depth) - 1);
    for (const RigidTile& tile : p.tiles)
        owner.add(RigidFieldItem{rigidCell(int32_t(tile.x), int32_t(tile.y)), 0});
    std::vector<RigidTile> owners;
    for (std::size_t t = 0; t < p.tiles.size(); ++t)
        if (owner.find(int32_t(p.tiles[t].x), int32_t(p.tiles[t].y)) == int32_t(t))
            owners.push_back(p.tiles[t]);
    return owners;
}

} // namespace

OrbEnvironmentRigid::OrbEnvironmentRigid(const RigidParameters& p)
    : OrbEnvironment(p.barLength, p.middleRatio),
      tileSize(p.tileSize),
      barAngle(p.barAngle),
      gridCentre{{(float(p.width) * 0.5f - 0.5f) * p.tileSize, (float(p.depth) * 0.5f - 0.5f) * p.tileSize}},
      tiles(ownersOfTheirCells(p)),
      tileMap(0, 0, int32_t(p.width) - 1, int32_t(p.depth) - 1) {
    markerGrid.ceiling = p.ceiling;
    markerGrid.planeHeight = p.planeHeight;

    const float c = std::cos(p.barAngle), s = std::sin(p.barAngle);
    for (int k = 0; k < 3; ++k)
        barTemplate[0][std::size_t(k)] = Vec2f{{barMarkerX[k] * c + p.barOffsetX, barMarkerX[k] * s + p.barOffsetY}};
    for (int o = 1; o < 4; ++o)
        for (std::size_t k = 0; k < 3; ++k)
            barTemplate[std::size_t(o)][k] = turnTemplate(barTemplate[0][k], o);
    {
        const Vec2f f = barTemplate[0][0], d = barTemplate[0][2] - barTemplate[0][0];
        const float lengthSquared = KestrelMath::dot(d, d);
        tileCentreInBar = lengthSquared > 0 ? Vec2f{{-KestrelMath::dot(f, d) / lengthSquared,
                                                     (-f.y() * d.x() + f.x() * d.y()) / lengthSquared}}
                                            : Vec2f{{0, 0}};
    }

    // Every tile owns its cell (see ownersOfTheirCells), so an item index is the tile list index.
    std::vector<PatternTile> layout;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        tileMap.add(RigidFieldItem{rigidCell(int32_t(tiles[t].x), int32_t(tiles[t].y)), tiles[t].orientation & 3});
        layout.push_back(PatternTile{int32_t(tiles[t].x), int32_t(tiles[t].y), tiles[t].orientation & 3, uint32_t(t)});
    }
    patternIndex = RigidPatternIndex(layout);
    minBars = patternIndex.minBars();

    markers_ = markerPositions();
    std::vector<Vec2f> plane;
    plane.reserve(markers_.size());
    for (const Vec3f& m : markers_)
        plane.push_back(Vec2f{{m.x(), m.z()}});
    detectorShape = searchDetectorShape(barTemplate, tiles, tileSize, middleRatio, detectorScale);
    markerGrid.rebuild(plane, 1.5f);
}

std::vector<Vec3f> OrbEnvironmentRigid::markerPositions() const {
    std::vector<Vec3f> markers;
    markers.reserve(tiles.size() * 3);
    for (const RigidTile& tile : tiles)
        for (const Vec2f& m : barTemplate[tile.orientation & 3])
            markers.push_back(Vec3f{{float(tile.x) * tileSize + m.x() - gridCentre.x(), markerGrid.planeHeight,
                                     float(tile.y) * tileSize + m.y() - gridCentre.y()}});
    return markers;
}

bool OrbEnvironmentRigid::acceptRay(const Vec3f& up, const Vec3f& ray) const {
    const bool towardsFloor = OrbEnvironment::acceptRay(up, ray);
    return markerGrid.ceiling ? !towardsFloor : towardsFloor;
}

Vec2f OrbEnvironmentRigid::boundsCorner(int corner) const {
    const float hw = float(int64_t(tileMap.maxX) - tileMap.minX + 1) * 0.5f * tileSize;
    const float hd = float(int64_t(tileMap.maxY) - tileMap.minY + 1) * 0.5f * tileSize;
    switch (corner) {
    case 0: return Vec2f{{-hw, -hd}};
    case 1: return Vec2f{{-hw, hd}};
    case 2: return Vec2f{{hw, hd}};
    case 3: return Vec2f{{hw, -hd}};
    default: return Vec2f{{0, 0}};
    }
}

bool OrbEnvironmentRigid::matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) {
    MatchBudget budget;
    return matchRays(rays, indices, pose, budget);
}

bool OrbEnvironmentRigid::matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose,
                                    MatchBudget& budget) {
    if (patternIndex.empty() || rays.size() < std::size_t(minBars) * 3)
        return false;
    GroupResult result = matchRaysSeenFrom(rays, true, budget, indices, pose);
    if (result != GroupResult::skipped)
        return result == GroupResult::found;
    // The detector judges a bar by its middle marker's place and its neighbours in the image,
    // and a tilted view bends both: long bars seen obliquely lose their middle marker's ratio.
    // So while no group has decided, the rays are looked at again as a camera turned towards
    // each of a few plane normals would see them (tilts of 15 and 30 degrees); a match found
    // that way is turned back.
    static const std::vector<Eigen::Quaterniond> viewTurns = [] {
        std::vector<Eigen::Quaterniond> turns;
        for (const auto& [tilt, steps] : {std::pair<double, int>{15, 6}, {30, 10}})
            for (int a = 0; a < steps; ++a) {
                const double azimuth = 2 * pi * a / steps;
                const Vector3d axis(std::cos(azimuth), 0, std::sin(azimuth));
                turns.emplace_back(Eigen::AngleAxisd(tilt * pi / 180, axis));
            }
        return turns;
    }();
    std::vector<Vec3f> turned(rays.size());
    for (const Eigen::Quaterniond& turn : viewTurns) {
        if (!budget.spend(turnedLookWork * rays.size()))
            return false;
        const Eigen::Matrix3f m = turn.toRotationMatrix().cast<float>();
        for (std::size_t i = 0; i < rays.size(); ++i) {
            const Eigen::Vector3f r = m * Eigen::Vector3f(rays[i].x(), rays[i].y(), rays[i].z());
            turned[i] = Vec3f{{r.x(), r.y(), r.z()}};
        }
        Pose turnedPose{};
        result = matchRaysSeenFrom(turned, false, budget, indices, turnedPose);
        if (result == GroupResult::notFound)
            return false;
        if (result == GroupResult::found) {
            const Eigen::Quaterniond q =
                (Eigen::Quaterniond(turnedPose.rotation.w, turnedPose.rotation.x, turnedPose.rotation.y,
                                    turnedPose.rotation.z) * turn).normalized();
            pose = Pose{turnedPose.position, Quatf{float(q.x()), float(q.y()), float(q.z()), float(q.w())}};
            return true;
        }
    }
    return false;
}

OrbEnvironmentRigid::GroupResult OrbEnvironmentRigid::matchRaysSeenFrom(const std::vector<Vec3f>& rays, bool served,
                                                                         MatchBudget& budget,
                                                                         std::vector<MarkerIndex>& indices,
                                                                         Pose& pose) {
    const std::vector<Vec2f> points = projectRays(rays);
    std::vector<Bar> bars;
    if (!detectBars(rays, points, middleRatio, detectorShape, budget, bars))
        return GroupResult::notFound;
    if (served)
        serveBarDetection(points, bars, detectorShape, detectorScale);
    if (bars.size() < minBars)
        return GroupResult::skipped;
    if (bars.size() > maximumBars)
        bars.resize(maximumBars);

    const std::size_t n = bars.size();
    std::vector<double> length(n);
    std::vector<Vector2d> quarter(n);
    for (std::size_t b = 0; b < n; ++b) {
        const Vec2f d = points[bars[b][2]] - points[bars[b][0]];
        const Vec2f toMiddle = points[bars[b][1]] - points[bars[b][0]];
        length[b] = std::hypot(double(d.x()), double(d.y()));
        const double t = std::atan2(double(toMiddle.y()), double(toMiddle.x()));
        quarter[b] = Vector2d(std::cos(4 * t), std::sin(4 * t));
    }
    std::vector<uint64_t> neighbours(n, 0);
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = a + 1; b < n; ++b) {
            const bool sharePoint = std::any_of(bars[a].v.begin(), bars[a].v.end(), [&](std::size_t i) {
                return i == bars[b][0] || i == bars[b][1] || i == bars[b][2];
            });
            const bool lengthsDiffer = std::abs(length[a] - length[b]) / std::min(length[a], length[b]) > 0.5;
            const bool turnsDiffer = quarter[a].dot(quarter[b]) < 0;
            if (!sharePoint && !lengthsDiffer && !turnsDiffer) {
                neighbours[a] |= uint64_t(1) << b;
                neighbours[b] |= uint64_t(1) << a;
            }
        }
    std::vector<uint64_t> cliques;
    const uint64_t all = n == 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
    if (!budget.spend(n * n) || !maximalCliques(0, all, 0, neighbours, cliques, budget))
        return GroupResult::notFound;

    struct Group {
        std::vector<std::size_t> bars;
        double spread;
    };
    std::vector<Group> groups;
    for (uint64_t clique : cliques) {
        if (!budget.spend(groupWork + n))
            return GroupResult::notFound;
        Group group{{}, 1};
        double shortest = 1e300, longest = 0;
        for (std::size_t b = 0; b < n; ++b)
            if (clique >> b & 1) {
                group.bars.push_back(b);
                shortest = std::min(shortest, length[b]);
                longest = std::max(longest, length[b]);
            }
        group.spread = longest / shortest;
        if (group.bars.size() >= minBars)
            groups.push_back(std::move(group));
    }
    std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        if (a.bars.size() != b.bars.size())
            return a.bars.size() > b.bars.size();
        if (a.spread != b.spread)
            return a.spread < b.spread;
        return a.bars < b.bars;
    });

    std::vector<Vec3f> distances(n);
    for (std::size_t b = 0; b < n; ++b) {
        const BarPlacement placement =
            solveBar(rays[bars[b][0]], rays[bars[b][1]], rays[bars[b][2]], barLength, middleRatio);
        distances[b] = Vec3f{{float(placement.distance[0]), float(placement.distance[1]), float(placement.distance[2])}};
    }

    // The first group that passes the fit test decides; when none does, the groups again, each
    // widened by the bars that fit its plane.
    for (bool widen : {false, true})
        for (const Group& group : groups) {
            const GroupResult result = tryGroup(rays, bars, group.bars, distances, widen, budget, indices, pose);
            if (result != GroupResult::skipped)
                return result;
        }
    return GroupResult::skipped;
}

OrbEnvironmentRigid::GroupResult OrbEnvironmentRigid::tryGroup(const std::vector<Vec3f>& rays,
                                                               const std::vector<Bar>& bars,
                                                               const std::vector<std::size_t>& seenGroup,
                                                               const std::vector<Vec3f>& distances, bool widen,
                                                               MatchBudget& budget,
                                                               std::vector<MarkerIndex>& indices, Pose& pose) {
    std::vector<std::size_t> group(seenGroup);
    const bool ceiling = markerGrid.ceiling;
    const Vector3d towardsCamera(0, ceiling ? -1 : 1, 0);

    // The group's markers in the camera frame, and their plane. A bar whose markers lie off
    // the plane of the others (a triple of markers of different bars, which solveBar places at
    // the wrong distance) is dropped and the plane fitted again. Then the rotation levels the
    // plane's normal and turns the bars' mean quarter-turn direction onto barAngle.
    std::vector<std::array<Vector3d, 3>> marker_camera;
    Eigen::Quaterniond estimate;
    double height = 0, meanTurn = 0;
    auto estimatePlane = [&]() {
        Vector3d centroid, normal_camera;
        for (;;) {
            if (!budget.spend(planeFitWork + barWork * group.size()))
                return false;
            marker_camera.assign(group.size(), {});
            centroid = Vector3d::Zero();
            for (std::size_t g = 0; g < group.size(); ++g)
                for (std::size_t k = 0; k < 3; ++k) {
                    marker_camera[g][k] = toEigen(rays[bars[group[g]][k]]) * double(distances[group[g]][k]);
                    if (!marker_camera[g][k].allFinite())
                        return false;
                    centroid += marker_camera[g][k];
                }
            centroid /= double(group.size() * 3);
            Matrix3d scatter = Matrix3d::Zero();
            for (const auto& bar : marker_camera)
                for (const Vector3d& m : bar)
                    scatter += (m - centroid) * (m - centroid).transpose();
            const Eigen::SelfAdjointEigenSolver<Matrix3d> solver(scatter);
            if (solver.info() != Eigen::Success ||
                !(solver.eigenvalues()[1] > collinearLimit * solver.eigenvalues()[2]))
                return false;
            normal_camera = solver.eigenvectors().col(0);
            std::size_t worst = 0;
            double worstResidual = -1;
            for (std::size_t g = 0; g < group.size(); ++g) {
                double residual = 0;
                for (const Vector3d& m : marker_camera[g])
                    residual += std::pow(normal_camera.dot(m - centroid), 2) / 3;
                if (residual > worstResidual) {
                    worstResidual = residual;
                    worst = g;
                }
            }
            if (worstResidual <= planeLimit * planeLimit)
                break;
            if (group.size() <= std::max<std::size_t>(minBars, 2))
                return false;
            group.erase(group.begin() + std::ptrdiff_t(worst));
        }
        if (normal_camera.dot(centroid) > 0)  // point from the plane towards the camera
            normal_camera = -normal_camera;
        height = -normal_camera.dot(centroid);
        const Eigen::Quaterniond level = Eigen::Quaterniond::FromTwoVectors(normal_camera, towardsCamera);
        Vector2d sum = Vector2d::Zero();
        for (const auto& bar : marker_camera) {
            const Vector3d b = level * (bar[2] - bar[0]);
            const double angle = std::atan2(b.z(), b.x());
            sum += Vector2d(std::cos(4 * angle), std::sin(4 * angle));
        }
        meanTurn = std::atan2(sum.y(), sum.x()) / 4;
        // Turning about y by theta moves an (x, z) direction's angle by -theta.
        estimate = Eigen::Quaterniond(Eigen::AngleAxisd(meanTurn - barAngle, Vector3d::UnitY())) * level;
        return true;
    };
    if (!estimatePlane())
        return budget.exhausted() ? GroupResult::notFound : GroupResult::skipped;

    // Where a bar's rays meet the marker plane of the estimate (camera above the origin), its
    // orientation, and its tile reference point.
    struct BarInPlane {
        std::array<Vector2d, 3> points;
        int orientation;
        Vector2d tileCentre;
    };
    auto placeBar = [&](std::size_t bar, BarInPlane& placed) {
        const double planeY = ceiling ? height : -height;
        for (std::size_t k = 0; k < 3; ++k) {
            const Vector3d ray = estimate * toEigen(rays[bars[bar][k]]);
            const double t = planeY / ray.y();
            if (!(t > 0) || !std::isfinite(t))
                return false;
            placed.points[k] = Vector2d(ray.x() * t, ray.z() * t);
        }
        const Vector2d d = placed.points[2] - placed.points[0];
        placed.orientation = std::abs(d.x()) > std::abs(d.y()) ? (d.x() > 0 ? 0 : 2) : (d.y() > 0 ? 1 : 3);
        placed.tileCentre = placed.points[0] + tileCentreInBar.x() * d + tileCentreInBar.y() * Vector2d(-d.y(), d.x());
        return true;
    };
    auto templateError = [&](const BarInPlane& placed, const Vector2d& centre) {
        double e = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            const Vec2f& m = barTemplate[std::size_t(placed.orientation)][k];
            e += (placed.points[k] - centre - Vector2d(m.x(), m.y())).squaredNorm();
        }
        return e;
    };
    const double barLimit = 3 * std::pow(barShapeLimit * double(tileSize), 2);

    if (widen) {
        // Perspective bends the image directions and lengths that formed the group, so bars of
        // one floor can land in different groups. In the plane of this group's estimate they
        // show their true shape: every detected bar that keeps the template's shape there joins,
        // the better fitting of two bars that share a point, and the plane is fitted again.
        if (!budget.spend(barWork * bars.size()))
            return GroupResult::notFound;
        std::vector<std::pair<double, std::size_t>> fitting;
        for (std::size_t b = 0; b < bars.size(); ++b) {
            BarInPlane placed;
            if (!placeBar(b, placed))
                continue;
            const double e = templateError(placed, placed.tileCentre);
            if (e <= barLimit)
                fitting.emplace_back(e, b);
        }
        std::sort(fitting.begin(), fitting.end());
        std::vector<char> used(rays.size(), 0);
        std::vector<std::size_t> widened;
        for (const auto& [e, b] : fitting) {
            if (used[bars[b][0]] || used[bars[b][1]] || used[bars[b][2]])
                continue;
            for (std::size_t k = 0; k < 3; ++k)
                used[bars[b][k]] = 1;
            widened.push_back(b);
        }
        std::sort(widened.begin(), widened.end());
        if (widened.size() <= seenGroup.size())
            return GroupResult::skipped;  // nothing new: the group itself was tried already
        group = std::move(widened);
        if (!estimatePlane())
            return budget.exhausted() ? GroupResult::notFound : GroupResult::skipped;
    }
    if (groupPoseHook.isRequested()) {
        std::vector<Vec3f> barDistances;
        for (std::size_t b = 0; b < bars.size(); ++b)
            barDistances.push_back(b < distances.size() ? distances[b] : Vec3f{});
        const Eigen::Quaterniond q = estimate.normalized();
        const HomographyTransform transform{Quatf{float(q.x()), float(q.y()), float(q.z()), float(q.w())},
                                            {0.0f, float(height), float(meanTurn)}};
        groupPoseHook.serve(transform, rays, barDistances, bars, group);
    }

    // A bar whose markers do not keep the template's shape around its own tile centre is no
    // bar of the layout and leaves the group.
    if (!budget.spend(barWork * group.size()))
        return GroupResult::notFound;
    std::vector<BarInPlane> placed;
    for (std::size_t g = 0; g < group.size();) {
        BarInPlane bar;
        if (!placeBar(group[g], bar))
            return GroupResult::skipped;
        if (templateError(bar, bar.tileCentre) > barLimit) {
            group.erase(group.begin() + std::ptrdiff_t(g));
        } else {
            placed.push_back(bar);
            ++g;
        }
    }
    if (group.size() < std::max(1u, minBars))
        return GroupResult::skipped;

    // Reference bar: the one seen nearest the direction towards the plane.
    const Vector3d towardsPlane_camera = estimate.conjugate() * (-towardsCamera);
    std::size_t reference = 0;
    double bestAlignment = 0;
    for (std::size_t g = 0; g < group.size(); ++g) {
        double alignment = 0;
        for (std::size_t k = 0; k < 3; ++k)
            alignment += towardsPlane_camera.dot(toEigen(rays[bars[group[g]][k]]));
        if (alignment > bestAlignment) {
            bestAlignment = alignment;
            reference = g;
        }
    }
    const Vector2d p0 = placed[reference].tileCentre;
    const std::size_t count = group.size();
    std::vector<std::array<int32_t, 2>> offset(count);
    double error = 0;
    for (std::size_t g = 0; g < count; ++g) {
        const Vector2d relative = (placed[g].tileCentre - p0) / double(tileSize);
        // Bars further apart than any grid allows (a ray grazing the plane) are no group of
        // this layout.
        const std::optional<int32_t> x = gridOffset(relative.x()), y = gridOffset(relative.y());
        if (!x || !y)
            return GroupResult::skipped;
        offset[g] = {*x, *y};
        error += templateError(placed[g], p0 + Vector2d(offset[g][0], offset[g][1]) * double(tileSize));
    }
    if (error / double(count) > fitLimit)
        return GroupResult::skipped;
    if (tileOffsetsHook.isRequested()) {
        std::vector<Vec2f> references;
        for (const BarInPlane& bar : placed)
            references.push_back(Vec2f{{float(bar.tileCentre.x()), float(bar.tileCentre.y())}});
        tileOffsetsHook.serve(references, tileSize);
    }

    // The seen pattern, looked up by its subsets in ascending key order. Keys of fewer tiles
    // are smaller, so the subsets are formed one tile count at a time and the larger ones only
    // when no smaller one is in the index.
    std::vector<PatternTile> seen(count);
    for (std::size_t g = 0; g < count; ++g)
        seen[g] = PatternTile{offset[g][0], offset[g][1], placed[g].orientation, uint32_t(g)};
    PatternCandidate chosen{0, {}};
    const PatternEntry* entry = nullptr;
    for (int size = 1; size <= maximumPatternTiles && !entry; ++size) {
        const std::size_t affordable =
            std::size_t(std::min<uint64_t>((budget.limit() - budget.spent()) / candidateWork, SIZE_MAX - 1));
        std::vector<PatternCandidate> candidates = patternCandidates(seen, affordable + 1, size);
        if (!budget.spend(candidateWork * candidates.size()))
            return GroupResult::notFound;
        std::sort(candidates.begin(), candidates.end(),
                  [](const PatternCandidate& a, const PatternCandidate& b) { return a.key < b.key; });
        for (PatternCandidate& candidate : candidates)
            if ((entry = patternIndex.find(candidate.key))) {
                chosen = std::move(candidate);
                break;
            }
    }
    if (!entry)
        return GroupResult::skipped;

    // Turn and translation from the seen offsets onto the layout's cells.
    const std::size_t first = chosen.normal[0].source;
    const RigidTile& firstTile = tiles[entry->tiles[0]];
    const int turn = int((firstTile.orientation & 3) - placed[first].orientation + 8) & 3;
    const std::array<int32_t, 2> firstTurned = turnCell(offset[first][0], offset[first][1], turn);
    const int32_t shiftX = int32_t(firstTile.x) - firstTurned[0], shiftY = int32_t(firstTile.y) - firstTurned[1];
    std::vector<uint32_t> tileOf(count);
    for (std::size_t g = 0; g < count; ++g) {
        const std::array<int32_t, 2> cell = turnCell(offset[g][0], offset[g][1], turn);
        const int32_t item = tileMap.find(cell[0] + shiftX, cell[1] + shiftY);
        if (item < 0)
            return GroupResult::notFound;
        tileOf[g] = uint32_t(item);
        if (tileMap.items()[std::size_t(item)].datum != ((placed[g].orientation + turn) & 3))
            return GroupResult::notFound;
    }

    // Pose: environment = turn * estimate * camera + position.
    if (!budget.spend(rayWork * rays.size() + rays.size() * rays.size() / 2))
        return GroupResult::notFound;
    const Eigen::Quaterniond quarterTurns(Eigen::AngleAxisd(-turn * pi / 2, Vector3d::UnitY()));
    Eigen::Quaterniond rotation = (quarterTurns * estimate).normalized();
    const std::vector<Vec3f>& markers = markers_;
    Vector2d horizontal = Vector2d::Zero();
    for (std::size_t g = 0; g < count; ++g)
        for (std::size_t k = 0; k < 3; ++k) {
            const Vec3f& m = markers[tileOf[g] * 3 + k];
            const Vector3d turned = quarterTurns * Vector3d(placed[g].points[k].x(), 0, placed[g].points[k].y());
            horizontal += Vector2d(m.x() - turned.x(), m.z() - turned.z());
        }
    horizontal /= double(count * 3);
    Vector3d position(horizontal.x(), markerGrid.planeHeight + (ceiling ? -height : height), horizontal.y());
    // The estimate rests on solveBar distances, which noise disturbs most; every ray of the
    // group against its marker gives the pose.
    {
        std::vector<Vector3d> groupRays, groupMarkers;
        for (std::size_t g = 0; g < count; ++g)
            for (std::size_t k = 0; k < 3; ++k) {
                groupRays.push_back(toEigen(rays[bars[group[g]][k]]).normalized());
                groupMarkers.push_back(toEigen(markers[tileOf[g] * 3 + k]));
            }
        if (!refineRayPose(groupRays, groupMarkers, rotation, position))
            return GroupResult::notFound;
    }
    const Eigen::Matrix3d camera_world = rotation.toRotationMatrix().transpose();
    // Rays that the refined pose cannot bring onto their markers belong elsewhere.
    for (std::size_t g = 0; g < count; ++g)
        for (std::size_t k = 0; k < 3; ++k)
            if (rayAngle(camera_world, position, markers[tileOf[g] * 3 + k], rays[bars[group[g]][k]]) > rayResidualLimit)
                return GroupResult::notFound;

    // Marker indices: the group's rays by their tiles, every other ray by where it meets the plane.
    std::vector<MarkerIndex> result(rays.size(), unmatchedMarker);
    const float radius = markerGrid.minSpacing * markerGrid.matchRadiusFactor;
    auto planeHit = [&](const Vec3f& ray, Vec2f& hit) {
        const Vector3d r = rotation * toEigen(ray);
        const double t = (double(markerGrid.planeHeight) - position.y()) / r.y();
        if (!(t > 0) || !std::isfinite(t))
            return false;
        hit = Vec2f{{float(position.x() + t * r.x()), float(position.z() + t * r.z())}};
        return true;
    };
    for (std::size_t g = 0; g < count; ++g)
        for (std::size_t k = 0; k < 3; ++k) {
            const std::size_t ray = bars[group[g]][k];
            const MarkerIndex index = MarkerIndex(tileOf[g] * 3 + k);
            Vec2f hit;
            const Vec3f& m = markers[std::size_t(index)];
            if (!planeHit(rays[ray], hit) || std::hypot(hit.x() - m.x(), hit.y() - m.z()) > radius)
                return GroupResult::notFound;
            result[ray] = index;
        }
    // A ray that lands near a marker but points well away from it is another light, or a sign
    // of a wrong pose: at a wrong place most further rays do so, at the right one few. So the
    // pose stands only while the further rays that point at their marker outnumber those refused.
    std::size_t confirmed = 0, refused = 0;
    for (std::size_t i = 0; i < rays.size(); ++i) {
        if (result[i] != unmatchedMarker)
            continue;
        Vec2f hit;
        if (!planeHit(rays[i], hit)) {
            result[i] = ambiguousMarker;
            continue;
        }
        const std::vector<std::size_t> near = markerGrid.grid.query(hit, radius);
        result[i] = near.size() == 1 ? MarkerIndex(near[0]) : ambiguousMarker;
        if (result[i] < 0)
            continue;
        if (rayAngle(camera_world, position, markers[near[0]], rays[i]) > otherRayLimit) {
            result[i] = unmatchedMarker;
            ++refused;
        } else {
            ++confirmed;
        }
    }
    if (refused > 0 && refused >= confirmed)
        return GroupResult::notFound;
    // A pose that leaves most rays without a marker is a wrong place whose local pattern looked
    // right; with most rays on markers, all of them give the final pose.
    std::vector<Vector3d> matchedRays, matchedMarkers;
    for (std::size_t i = 0; i < rays.size(); ++i)
        if (result[i] >= 0) {
            matchedRays.push_back(toEigen(rays[i]).normalized());
            matchedMarkers.push_back(toEigen(markers[std::size_t(result[i])]));
        }
    if (2 * matchedRays.size() < rays.size())
        return GroupResult::notFound;
    bool duplicated = false;
    for (std::size_t i = 0; i < result.size(); ++i)
        for (std::size_t j = i + 1; j < result.size(); ++j)
            if (result[i] >= 0 && result[i] == result[j]) {
                result[i] = result[j] = unmatchedMarker;
                duplicated = true;
            }
    if (duplicated)
        return GroupResult::notFound;

    if (matchedRays.size() > count * 3) {
        if (!refineRayPose(matchedRays, matchedMarkers, rotation, position))
            return GroupResult::notFound;
        // Markers lie close together, so a wrong pose still puts many rays near some marker;
        // at the right pose every matched ray points at its marker.
        const Eigen::Matrix3d camera_world = rotation.toRotationMatrix().transpose();
        for (std::size_t i = 0; i < matchedRays.size(); ++i)
            if ((camera_world * (matchedMarkers[i] - position)).normalized().cross(matchedRays[i]).norm() >
                rayResidualLimit)
                return GroupResult::notFound;
    }
    indices = std::move(result);
    pose = Pose{Vec3f{{float(position.x()), float(position.y()), float(position.z())}},
                Quatf{float(rotation.x()), float(rotation.y()), float(rotation.z()), float(rotation.w())}};
    return GroupResult::found;
}

InterfaceContract::Ref<IEnvironment> createRigidEnvironment(const RigidParameters& parameters) {
    return InterfaceContract::makeInterfaced<OrbEnvironmentRigid, IEnvironment>(parameters);
}

} // namespace Kestrel::Orb::Tracking
