// Which group of bars decides a rigid match: hand-built frames in which the group tried first
// cannot decide (it fails the fit test, or its pattern is not in the index) and a second
// group, two bars of the floor, identifies the place; and a seen bar on an empty cell.
//
// The floor: 4 by 4 tiles of 0.6 m with 0.5 m bars, eight tiles occupied. Its pairs were
// checked with a separate python index (a pattern is entered when its class under the four
// turns occurs once and no turn maps it onto itself): the pair (3,1,3) + (3,3,0) is unique.
// The camera hangs 2 m above (1.8, -0.2), looking straight down, heading 20 degrees.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "RigidScene.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

using namespace Kestrel::Orb::Tracking;
using namespace RigidScene;
using namespace std::chrono_literals;

namespace {

RigidParameters floorLayout() {
    return puzzleGrid(4, 4, {{0, 0, 0}, {1, 0, 1}, {3, 0, 2}, {0, 2, 3}, {2, 2, 1}, {3, 3, 0}, {1, 3, 2}, {3, 1, 3}}, 0.5f);
}

// Floor markers in view: both bars of the unique pair (tiles 7 and 5), and one lone marker of
// each of tiles 2, 4 and 6 (the rest of those bars hidden).
const std::vector<int> floorSeen{21, 22, 23, 15, 16, 17, 6, 13, 18};

// A second field of bars beside the floor, its grid turned by -45 degrees about the vertical
// with tile (0, 0) at (2.0, -1.0): tiles (0,0,0), (0,2,0) and (2,1,1). Its image directions
// are 45 degrees from the floor's, so its bars form a group of their own, and with three bars
// that group is tried first. None of its subsets is in the floor's index.
const std::vector<Vec> fieldOnGrid{
    {1.823223, 0, -0.823223}, {1.941074, 0, -0.941074}, {2.176777, 0, -1.176777},
    {2.671751, 0, 0.025305},  {2.789603, 0, -0.092546}, {3.025305, 0, -0.328249},
    {3.096016, 0, -1.601041}, {3.213867, 0, -1.483190}, {3.449569, 0, -1.247487}};
// The same field with its third bar moved by 0.45 tiles along both of its grid axes, to
// (2.45, 1.45). Against the first bar (the one nearest straight below) it is off the grid by
// 0.27 m in each axis at each marker: 3 * 2 * 0.27^2 = 0.4374, 0.1458 per bar of the group,
// beyond the fit test's 0.1.
const std::vector<Vec> fieldOffGrid{
    {1.823223, 0, -0.823223}, {1.941074, 0, -0.941074}, {2.176777, 0, -1.176777},
    {2.671751, 0, 0.025305},  {2.789603, 0, -0.092546}, {3.025305, 0, -0.328249},
    {3.477853, 0, -1.601041}, {3.595704, 0, -1.483190}, {3.831407, 0, -1.247487}};

TruePose camera() { return TruePose{rotationY(20 * pi / 180), {1.8, 2.0, -0.2}}; }

struct Frame {
    std::vector<Kestrel::Orb::Tracking::Vec3f> rays;
    std::vector<int> truth;  // floor marker index, or -1 for a marker the layout does not hold
};

Frame frameOf(const std::vector<Vec>& floorMarkers, const std::vector<int>& seen, const std::vector<Vec>& others) {
    Frame frame;
    for (const Vec& m : others) {
        frame.rays.push_back(toFloat(camera().rayTo(m)));
        frame.truth.push_back(-1);
    }
    for (int m : seen) {
        frame.rays.push_back(toFloat(camera().rayTo(floorMarkers[std::size_t(m)])));
        frame.truth.push_back(m);
    }
    return frame;
}

// What matchRays did with the first group it tried and with the first group that passed the
// fit test, read through the environment's debug hooks.
struct FirstGroups {
    bool found = false;
    std::vector<MarkerIndex> indices;
    Pose pose{};
    std::vector<std::vector<int>> tried;  // rays of each bar of the first group tried, sorted
    std::vector<Vec2f> fitting;           // tile reference points of the first fitting group
    bool fittingServed = false;
};

FirstGroups match(OrbEnvironmentRigid& environment, const Frame& frame) {
    FirstGroups result;
    std::thread poses([&] {
        environment.groupPoseHook.request(
            [&](const HomographyTransform&, const std::vector<Kestrel::Orb::Tracking::Vec3f>&,
                const std::vector<Kestrel::Orb::Tracking::Vec3f>&, const std::vector<Bar>& bars,
                const std::vector<std::size_t>& group) {
                for (std::size_t b : group) {
                    std::vector<int> rays{int(bars[b][0]), int(bars[b][1]), int(bars[b][2])};
                    std::sort(rays.begin(), rays.end());
                    result.tried.push_back(rays);
                }
                std::sort(result.tried.begin(), result.tried.end());
            },
            5s);
    });
    std::thread offsets([&] {
        result.fittingServed = environment.tileOffsetsHook.request(
            [&](const std::vector<Vec2f>& references, float) { result.fitting = references; }, 5s);
    });
    while (!environment.groupPoseHook.isRequested() || !environment.tileOffsetsHook.isRequested())
        std::this_thread::yield();
    result.found = environment.matchRays(frame.rays, result.indices, result.pose);
    poses.join();
    offsets.join();
    return result;
}

double distance(const Vec2f& a, const Vec2f& b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

// The frame is identified from the floor pair: every floor ray has its marker, the other
// field's rays none, and the pose is the camera's.
void expectFloorIdentified(const FirstGroups& result, const Frame& frame) {
    ASSERT_TRUE(result.found);
    ASSERT_EQ(result.indices.size(), frame.truth.size());
    for (std::size_t r = 0; r < frame.truth.size(); ++r) {
        if (frame.truth[r] >= 0) {
            EXPECT_EQ(result.indices[r], frame.truth[r]) << "ray " << r;
        } else {
            EXPECT_LT(result.indices[r], 0) << "ray " << r;
        }
    }
    EXPECT_LT(norm(sub(toVec(result.pose.position), camera().position)), 1e-3);
    EXPECT_LT(angleBetween(matrixOf(result.pose.rotation), camera().rotation), 0.05 * pi / 180);
}

const std::vector<std::vector<int>> fieldBars{{0, 1, 2}, {3, 4, 5}, {6, 7, 8}};

} // namespace

TEST(RigidGroupOrder, AGroupFailingTheFitTestIsSkippedForTheNext) {
    OrbEnvironmentRigid environment(floorLayout());
    ASSERT_EQ(environment.minBars, 2u);
    const Frame frame = frameOf(markersOf(floorLayout()), floorSeen, fieldOffGrid);
    const FirstGroups result = match(environment, frame);
    EXPECT_EQ(result.tried, fieldBars) << "the three bars of the moved field are tried first";
    // The first group past the fit test is the floor pair: tiles (3,1) and (3,3), 1.2 m apart.
    ASSERT_TRUE(result.fittingServed);
    ASSERT_EQ(result.fitting.size(), 2u);
    EXPECT_NEAR(distance(result.fitting[0], result.fitting[1]), 1.2, 2e-3);
    expectFloorIdentified(result, frame);
}

TEST(RigidGroupOrder, AFittingGroupWithoutAPatternPassesToTheNext) {
    // The field on its own grid passes the fit test, but no subset of it is in the index.
    // Ending the frame there would lose it; the floor pair behind it identifies the place.
    OrbEnvironmentRigid environment(floorLayout());
    const Frame frame = frameOf(markersOf(floorLayout()), floorSeen, fieldOnGrid);
    const FirstGroups result = match(environment, frame);
    EXPECT_EQ(result.tried, fieldBars);
    // The field's tile centres: (0,0)-(0,2) 1.2 m, (0,0)-(2,1) and (0,2)-(2,1) 1.3416408 m.
    ASSERT_TRUE(result.fittingServed);
    ASSERT_EQ(result.fitting.size(), 3u);
    std::vector<double> spacing{distance(result.fitting[0], result.fitting[1]),
                                distance(result.fitting[0], result.fitting[2]),
                                distance(result.fitting[1], result.fitting[2])};
    std::sort(spacing.begin(), spacing.end());
    EXPECT_NEAR(spacing[0], 1.2, 2e-3);
    EXPECT_NEAR(spacing[1], 1.3416408, 2e-3);
    EXPECT_NEAR(spacing[2], 1.3416408, 2e-3);
    expectFloorIdentified(result, frame);
}

TEST(RigidGroupOrder, ASeenBarOnAnEmptyCellRefusesTheFrame) {
    // The unique pair with a bar at the empty cell (3, 2), orientation 0, between them: one
    // group of three that fits the grid. No subset holding the extra bar is in the index
    // (python check), so the pair's key places the group and the extra bar lands on the
    // empty cell. Without the extra bar the same frame is identified.
    RigidParameters seen = floorLayout();
    seen.tiles.push_back(RigidTile{3, 2, 0});
    const std::vector<Vec> markers = markersOf(seen);
    OrbEnvironmentRigid environment(floorLayout());

    std::vector<int> withExtra{24, 25, 26};
    withExtra.insert(withExtra.end(), floorSeen.begin(), floorSeen.end());
    const Frame refused = frameOf(markers, withExtra, {});
    const FirstGroups result = match(environment, refused);
    ASSERT_TRUE(result.fittingServed);
    EXPECT_EQ(result.fitting.size(), 3u) << "the group with the extra bar passed the fit test";
    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.indices.empty()) << "outputs untouched";

    const Frame identified = frameOf(markers, floorSeen, {});
    std::vector<MarkerIndex> indices;
    Pose pose{};
    ASSERT_TRUE(environment.matchRays(identified.rays, indices, pose));
    EXPECT_EQ(std::vector<int>(indices.begin(), indices.end()), identified.truth);
}
