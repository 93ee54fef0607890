// The rigid tile environment's model: occupancy field, pattern keys and index, layout
// geometry, bounds, ray acceptance, codes, and the frames it must refuse.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "RigidScene.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

using namespace Kestrel::Orb::Tracking;
using RigidScene::puzzleGrid;

namespace {

bool covers(const RigidPatternIndex& index, uint32_t tile) {
    for (const PatternEntry& entry : index.entries())
        for (unsigned i = 0; i < entry.count; ++i)
            if (entry.tiles[i] == tile)
                return true;
    return false;
}

} // namespace

TEST(RigidField, AddFindRemoveAndRectangles) {
    OrbEnvironmentRigidField field(0, 0, 3, 2);
    field.add({rigidCell(1, 2), 3});
    field.add({rigidCell(0, 0), 1});
    field.add({rigidCell(3, 1), 2});
    EXPECT_EQ(field.find(1, 2), 0);
    EXPECT_EQ(field.find(0, 0), 1);
    EXPECT_EQ(field.find(2, 2), -1);
    EXPECT_EQ(field.find(4, 0), -1);   // outside
    EXPECT_EQ(field.find(-1, 0), -1);
    EXPECT_THROW(field.add({rigidCell(4, 0), 0}), std::out_of_range);
    EXPECT_EQ(field.itemsInRect({-5, -5, 1, 9}), (std::vector<int32_t>{1, 0}));  // column 0, then column 1
    field.remove(rigidCell(1, 2));  // the last item (3, 1) moves into slot 0
    EXPECT_EQ(field.find(1, 2), -1);
    EXPECT_EQ(field.find(3, 1), 0);
    EXPECT_EQ(field.item(0)->datum, 2);
    EXPECT_FALSE(field.item(-1));
    EXPECT_FALSE(field.item(2));
    field.clear();
    EXPECT_EQ(field.find(0, 0), -1);
    EXPECT_TRUE(field.items().empty());
}

TEST(RigidPatternKey, EncodesTheSortedNormalForm) {
    // (2, 3, 0) and (0, 0, 1): sorted (0, 0, 1), (2, 3, 0); bytes 1 and (2 * 5 + 3) * 4 = 52.
    const std::vector<PatternTile> normal = normalForm({{2, 3, 0, 0}, {0, 0, 1, 1}}, 0);
    EXPECT_EQ(patternKey(normal), (uint64_t(2) << 32) | (uint64_t(1) << 24) | (uint64_t(52) << 16));
    // One turn: (2, 3) -> (-3, 2), (0, 0) stays; orientations + 1; moved by (3, 0):
    // (0, 2, 1) and (3, 0, 2), sorted (0, 2, 1), (3, 0, 2): bytes 9 and 62.
    const std::vector<PatternTile> turned = normalForm({{2, 3, 0, 0}, {0, 0, 1, 1}}, 1);
    EXPECT_EQ(patternKey(turned), (uint64_t(2) << 32) | (uint64_t(9) << 24) | (uint64_t(62) << 16));
    // The same pattern moved elsewhere has the same key.
    EXPECT_EQ(patternKey(normalForm({{7, 8, 0, 0}, {5, 5, 1, 1}}, 0)), patternKey(normal));
}

TEST(RigidPatternIndex, SymmetricPatternsAreNeverEntered) {
    // Two tiles that look the same after a half turn, and single tiles whose turns coincide.
    const RigidPatternIndex index({{0, 0, 0, 0}, {1, 0, 2, 1}});
    EXPECT_TRUE(index.empty());
    EXPECT_EQ(index.minBars(), 0u);
    // Without the symmetry the pair is unique.
    const RigidPatternIndex asymmetric({{0, 0, 0, 0}, {1, 0, 1, 1}});
    EXPECT_EQ(asymmetric.entries().size(), 4u);
    EXPECT_EQ(asymmetric.minBars(), 2u);
}

TEST(RigidPatternIndex, IdenticalSubLayoutsAreBothAmbiguous) {
    // (0,0,0)+(1,0,1) and, far away, the same pair turned by a quarter turn; tile 4 stands alone.
    const std::vector<PatternTile> layout{{0, 0, 0, 0}, {1, 0, 1, 1}, {20, 20, 1, 2}, {20, 21, 2, 3}, {10, 0, 3, 4}};
    const RigidPatternIndex index(layout);
    for (const PatternEntry& entry : index.entries()) {
        std::vector<uint32_t> tiles(entry.tiles, entry.tiles + entry.count);
        EXPECT_NE(tiles, (std::vector<uint32_t>{0, 1}));
        EXPECT_NE(tiles.size(), 2u) << "no two tiles of this layout form a unique pair";
    }
    EXPECT_TRUE(index.empty());
    // A third tile next to one copy makes that neighbourhood unique again.
    std::vector<PatternTile> grown(layout);
    grown.push_back({2, 1, 0, 5});
    const RigidPatternIndex again(grown);
    EXPECT_TRUE(covers(again, 5));
    EXPECT_FALSE(covers(again, 2));
    EXPECT_FALSE(covers(again, 3));
}

TEST(RigidEnvironment, MarkersTemplateAndBounds) {
    OrbEnvironmentRigid environment(puzzleGrid(2, 3, {{0, 0, 1}, {1, 2, 6}}));
    // gridCentre (0.3, 0.6); orientation 1 turns (-0.75, 0), (-0.25, 0), (0.75, 0) to (0, -0.75)...
    const std::vector<Vec3f> markers = environment.markerPositions();
    ASSERT_EQ(markers.size(), 6u);
    const float expected[6][2] = {{-0.3f, -1.35f}, {-0.3f, -0.85f}, {-0.3f, 0.15f},
                                  // tile (1, 2), orientation 6 & 3 = 2: (0.75, 0), (0.25, 0), (-0.75, 0)
                                  {1.05f, 0.6f}, {0.55f, 0.6f}, {-0.45f, 0.6f}};
    for (int m = 0; m < 6; ++m) {
        EXPECT_NEAR(markers[m].x(), expected[m][0], 1e-6) << m;
        EXPECT_EQ(markers[m].y(), 0.0f);
        EXPECT_NEAR(markers[m].z(), expected[m][1], 1e-6) << m;
    }
    // First marker (-0.75, 0), last (0.75, 0): the centre is half way along, on the bar.
    EXPECT_NEAR(environment.tileCentreInBar.x(), 0.5, 1e-6);
    EXPECT_NEAR(environment.tileCentreInBar.y(), 0.0, 1e-6);
    EXPECT_TRUE(environment.hasBounds());
    EXPECT_EQ(environment.boundsCornerCount(), 4);
    EXPECT_NEAR(environment.boundsCorner(0).x(), -0.6, 1e-6);
    EXPECT_NEAR(environment.boundsCorner(0).y(), -0.9, 1e-6);
    EXPECT_NEAR(environment.boundsCorner(2).x(), 0.6, 1e-6);
    EXPECT_NEAR(environment.boundsCorner(1).y(), 0.9, 1e-6);
    EXPECT_NEAR(environment.boundsCorner(3).x(), 0.6, 1e-6);
    EXPECT_EQ(environment.boundsCorner(4), (Vec2f{{0, 0}}));
}

TEST(RigidEnvironment, OffsetAndAngleTemplate) {
    RigidParameters p = puzzleGrid(1, 1, {{0, 0, 0}});
    p.barLength = 1.0f;
    p.middleRatio = 0.25f;
    p.barAngle = 0.5f;
    p.barOffsetX = 0.1f;
    p.barOffsetY = -0.2f;
    OrbEnvironmentRigid environment(p);
    // barMarkerX -0.5, -0.25, 0.5, turned by 0.5 rad, moved by (0.1, -0.2).
    const double c = std::cos(0.5), s = std::sin(0.5);
    const double along[3] = {-0.5, -0.25, 0.5};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(environment.barTemplate[0][k].x(), along[k] * c + 0.1, 1e-6);
        EXPECT_NEAR(environment.barTemplate[0][k].y(), along[k] * s - 0.2, 1e-6);
        EXPECT_NEAR(environment.barTemplate[3][k].x(), along[k] * s - 0.2, 1e-6);   // (a, b) -> (b, -a)
        EXPECT_NEAR(environment.barTemplate[3][k].y(), -(along[k] * c + 0.1), 1e-6);
    }
    // Tile centre in the bar frame: f = (-0.5c + 0.1, -0.5s - 0.2), d = (c, s), |d| = 1.
    const double fx = -0.5 * c + 0.1, fy = -0.5 * s - 0.2;
    EXPECT_NEAR(environment.tileCentreInBar.x(), -(fx * c + fy * s), 1e-6);
    EXPECT_NEAR(environment.tileCentreInBar.y(), -fy * c + fx * s, 1e-6);
    // One tile: no pattern, the default detector.
    EXPECT_EQ(environment.detectorShape, (Vec3f{{0.6f, 0.6f, 0.0f}}));
}

TEST(RigidEnvironment, CeilingAcceptsRaysGoingUp) {
    RigidParameters p = puzzleGrid(2, 2, {{0, 0, 0}, {1, 1, 1}});
    const Vec3f up{{0, 1, 0}}, rising{{0.1f, 0.9f, 0}}, falling{{0.1f, -0.9f, 0}};
    OrbEnvironmentRigid floor(p);
    EXPECT_TRUE(floor.acceptRay(up, falling));
    EXPECT_FALSE(floor.acceptRay(up, rising));
    p.ceiling = true;
    p.planeHeight = 2.5f;
    OrbEnvironmentRigid ceiling(p);
    EXPECT_TRUE(ceiling.acceptRay(up, rising));
    EXPECT_FALSE(ceiling.acceptRay(up, falling));
    EXPECT_EQ(ceiling.markerPositions()[0].y(), 2.5f);
}

TEST(RigidEnvironment, VersionZeroAndOneCodesGiveEqualMarkers) {
    RigidParameters v0 = puzzleGrid(4, 3, {{0, 0, 1}, {3, 2, 2}, {1, 1, 3}, {2, 0, 4}});
    v0.version = 0;
    v0.preset = "puzzle58";
    RigidParameters v1 = v0;
    v1.version = 1;
    v1.tileSize = 0.58f;
    auto a = createEnvironment(encodeRigidEnvironment(v0));
    auto b = createEnvironment(encodeRigidEnvironment(v1));
    ASSERT_TRUE(a && b);
    const std::vector<Vec3f> ma = nativeEnvironment(a.get())->markerPositions();
    const std::vector<Vec3f> mb = nativeEnvironment(b.get())->markerPositions();
    EXPECT_EQ(ma, mb);
    ASSERT_EQ(ma.size(), 12u);
    // Tile (3, 2), orientation 2 on 0.58 m tiles, centre (0.87, 0.58): first marker at +0.75.
    EXPECT_NEAR(ma[3].x(), 3 * 0.58 + 0.75 - 0.87, 1e-5);
    EXPECT_NEAR(ma[3].z(), 2 * 0.58 - 0.58, 1e-5);
}

TEST(RigidMatching, TooFewRaysLeaveTheOutputsAlone) {
    RigidParameters p = puzzleGrid(4, 4, {{0, 0, 0}, {1, 2, 1}, {3, 3, 2}, {2, 0, 3}});
    OrbEnvironmentRigid environment(p);
    ASSERT_GE(environment.minBars, 2u);
    std::vector<MarkerIndex> indices{7, 7};
    Pose pose{Vec3f{{1, 2, 3}}, Quatf{}};
    const std::vector<Vec3f> rays(environment.minBars * 3 - 1, Vec3f{{0, -1, 0}});
    EXPECT_FALSE(environment.matchRays(rays, indices, pose));
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{7, 7}));
    EXPECT_EQ(pose.position, (Vec3f{{1, 2, 3}}));
}

TEST(RigidMatching, SeenBarOnAnEmptyCellIsNotIdentified) {
    // Views of a layout with one more tile than the environment knows. A frame whose group
    // holds that bar maps it onto an empty cell and is refused; a frame identified at the true
    // place never gives the unknown bar's rays a marker.
    RigidParameters known = puzzleGrid(6, 6, {}, 0.5f);
    std::mt19937 draw(5);
    for (uint32_t x = 0; x < 6; ++x)
        for (uint32_t y = 0; y < 6; ++y)
            if (draw() % 2 && !(x == 2 && y == 2))
                known.tiles.push_back(RigidTile{x, y, uint8_t(draw() % 4)});
    RigidParameters seen = known;
    seen.tiles.push_back(RigidTile{2, 2, 1});
    OrbEnvironmentRigid environment(known);
    const std::vector<RigidScene::Vec> markers = RigidScene::markersOf(seen);
    const std::size_t extra = known.tiles.size();
    std::mt19937 random(9);
    unsigned withExtra = 0, foundWithExtra = 0;
    for (int i = 0; i < 1000; ++i) {
        const RigidScene::View view = RigidScene::randomView(seen, markers, random, 0, 0.2, 0.6);
        unsigned extraRays = 0;
        for (int t : view.truth)
            extraRays += std::size_t(t) / 3 == extra;
        std::vector<MarkerIndex> indices;
        Pose pose{};
        const bool found = environment.matchRays(view.rays, indices, pose);
        if (extraRays != 3)
            continue;
        ++withExtra;
        if (!found)
            continue;
        ++foundWithExtra;
        if (RigidScene::norm(RigidScene::sub(RigidScene::toVec(pose.position), view.pose.position)) > 0.02)
            continue;
        for (std::size_t r = 0; r < indices.size(); ++r) {
            if (std::size_t(view.truth[r]) / 3 == extra) {
                EXPECT_LT(indices[r], 0);
            } else if (indices[r] >= 0) {
                EXPECT_EQ(indices[r], view.truth[r]);
            }
        }
    }
    std::printf("%u views hold the unknown bar whole, %u of them identified\n", withExtra, foundWithExtra);
    EXPECT_GT(withExtra, 100u);
    EXPECT_LT(foundWithExtra, withExtra / 2);
}
