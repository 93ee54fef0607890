// Limits of the rigid environment: the work one frame may cost, the memory that large layouts
// take to build, and a code that lists one cell twice.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "RigidScene.h"
#include "tracking/environments/GridOffset.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

using namespace Kestrel::Orb::Tracking;
using namespace RigidScene;

namespace {

// The default floor: legacy code naming "puzzle", 6 by 6 tiles, nine of them occupied.
RigidParameters defaultFloor() {
    return *parseEnvironmentCode("AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==").rigid;
}

// Rays from a tracker at `pose` to every marker.
std::vector<Vec3f> raysFrom(const TruePose& pose, const std::vector<Vec>& markers) {
    std::vector<Vec3f> rays;
    for (const Vec& m : markers)
        rays.push_back(toFloat(pose.rayTo(m)));
    return rays;
}

#ifndef _WIN32
// Exits 0 when both layouts build with 100 MB of address space beyond what the process holds.
[[noreturn]] void buildWithinOneHundredMegabytes(const RigidParameters& hall, const RigidParameters& full) {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages) * 4096 + (rlim_t(100) << 20);
    const rlimit space{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &space) != 0)
        std::_Exit(2);
    OrbEnvironmentRigid builtHall(hall);
    OrbEnvironmentRigid builtFull(full);
    std::_Exit(builtHall.minBars > 0 && builtFull.tiles.size() == 1024 ? 0 : 3);
}
#endif

} // namespace

// 19 tiles of 0.15 m carrying bars of 1.5 m whose middle marker sits on the first end marker:
// frames seen from 3.2 m hold about a hundred bar-like triples in a graph of millions of
// maximal groups, which cost a second of enumeration per frame. The code reader refuses such
// a middle ratio now; the layout is built directly, as the budget must hold whatever the
// parameters.
TEST(RigidMatchBudget, AFrameOfOverlappingBarsGivesUpWithinTheBudget) {
    RigidParameters p = puzzleGrid(5, 5, {{2, 2, 0}, {1, 3, 3}, {1, 1, 3}, {4, 3, 0}, {3, 3, 2}, {1, 4, 0}, {3, 0, 0},
                                          {0, 1, 3}, {3, 2, 1}, {4, 4, 3}, {4, 2, 2}, {3, 4, 0}, {2, 3, 3}, {1, 2, 1},
                                          {1, 0, 1}, {0, 4, 3}, {2, 4, 1}, {2, 1, 1}, {0, 2, 0}});
    p.middleRatio = 0;
    p.tileSize = 0.15f;
    OrbEnvironmentRigid environment(p);
    const std::vector<Vec> markers = markersOf(p);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> across(-0.5, 0.5);
    for (int look = 0; look < 4; ++look) {
        const TruePose pose{rotationY(0.4 * look), {0.01 * look, 3.2, -0.02 * look}};
        std::vector<Vec3f> rays = raysFrom(pose, markers);
        if (look % 2)  // seven stray blobs: 64 rays
            for (int i = 0; i < 7; ++i)
                rays.push_back(toFloat(unit({across(random), -1, across(random)})));
        MatchBudget budget;
        std::vector<MarkerIndex> indices;
        Pose found{};
        EXPECT_FALSE(environment.matchRays(rays, indices, found, budget)) << look;
        EXPECT_TRUE(budget.exhausted()) << look;
        // Only bar detection records its work after running, so a frame runs past its budget by
        // at most one detection over its rays: 100 units a pair, 5 a point tested.
        const uint64_t n = rays.size(), pairs = n * (n - 1) / 2;
        EXPECT_LE(budget.spent(), budget.limit() + pairs * (100 + 5 * (n - 2)) + n) << look;
    }
}

// The memory limit holds in a child process; sanitizers reserve far more address space than
// they use, so there it cannot be measured this way.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORB_ADDRESS_SPACE_IS_RESERVED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define ORB_ADDRESS_SPACE_IS_RESERVED 1
#endif
#endif

TEST(RigidConstruction, LargeLayoutsBuildWithinOneHundredMegabytes) {
#ifdef ORB_ADDRESS_SPACE_IS_RESERVED
    GTEST_SKIP() << "address space limits do not apply under a sanitizer";
#endif
#ifdef _WIN32
    GTEST_SKIP() << "the address space limit of a child process is set with setrlimit, which Windows lacks";
#else
    // A hall of 64 x 64 tiles, half of them (raw std::mt19937 draws) carrying a puzzle bar, and
    // a floor of 32 x 32 tiles that all carry one.
    RigidParameters hall = puzzleGrid(64, 64, {});
    std::mt19937 random(7);
    for (uint32_t x = 0; x < 64; ++x)
        for (uint32_t y = 0; y < 64; ++y)
            if (random() % 2)
                hall.tiles.push_back(RigidTile{x, y, uint8_t(random() % 4)});
    RigidParameters full = puzzleGrid(32, 32, {});
    for (uint32_t x = 0; x < 32; ++x)
        for (uint32_t y = 0; y < 32; ++y)
            full.tiles.push_back(RigidTile{x, y, uint8_t(random() % 4)});
    EXPECT_EXIT(buildWithinOneHundredMegabytes(hall, full), ::testing::ExitedWithCode(0), "");
#endif
}

// A later entry for a cell replaces the earlier one: the earlier entry's bar does not exist.
TEST(RigidEnvironment, ALaterEntryForACellReplacesTheEarlierOne) {
    const RigidParameters floor = defaultFloor();
    ASSERT_EQ(floor.tiles.size(), 9u);
    // Tile 3's cell listed first with another turn (it loses to tile 3), and tile 0's cell
    // listed again last with another turn (it replaces tile 0).
    RigidParameters repeated = floor;
    const RigidTile& t3 = floor.tiles[3];
    const RigidTile& t0 = floor.tiles[0];
    repeated.tiles.insert(repeated.tiles.begin(), RigidTile{t3.x, t3.y, uint8_t(t3.orientation + 1)});
    repeated.tiles.push_back(RigidTile{t0.x, t0.y, uint8_t(t0.orientation + 2)});
    RigidParameters expected = floor;
    expected.tiles.erase(expected.tiles.begin());
    expected.tiles.push_back(repeated.tiles.back());

    OrbEnvironmentRigid environment(repeated);
    const std::vector<Vec> markers = markersOf(expected);
    const std::vector<Vec3f> built = environment.markerPositions();
    ASSERT_EQ(built.size(), markers.size());
    for (std::size_t m = 0; m < markers.size(); ++m)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(built[m][axis], markers[m][axis], 1e-5) << m;
    EXPECT_EQ(environment.markerGrid.minSpacing, OrbEnvironmentRigid(expected).markerGrid.minSpacing);
    EXPECT_GT(environment.markerGrid.minSpacing, 0.05f);

    // It tracks: views of it are identified with the markers of the expected layout.
    std::mt19937 random(17);
    unsigned eligible = 0, identified = 0;
    for (int i = 0; i < 100; ++i) {
        const View view = randomView(expected, markers, random, 0);
        std::vector<MarkerIndex> indices;
        Pose pose{};
        const bool found = environment.matchRays(view.rays, indices, pose);
        eligible += view.wholeBars >= environment.minBars;
        if (!found)
            continue;
        ASSERT_EQ(indices.size(), view.truth.size());
        for (std::size_t r = 0; r < indices.size(); ++r) {
            if (indices[r] >= 0) {
                EXPECT_EQ(indices[r], view.truth[r]) << "view " << i << ", ray " << r;
            }
        }
        ++identified;
    }
    EXPECT_GE(identified, eligible * 9 / 10);
}

// Offsets between bars are rounded to whole tiles only within the largest grid; beyond it, and
// for NaN, there is no offset (converting such a value to an integer is undefined).
TEST(RigidMatching, TileOffsetsAreRoundedOnlyWithinTheLargestGrid) {
    EXPECT_EQ(gridOffset(2.5), 3);
    EXPECT_EQ(gridOffset(-2.5), -3);
    EXPECT_EQ(gridOffset(0.49), 0);
    EXPECT_EQ(gridOffset(4096.0), 4096);
    EXPECT_EQ(gridOffset(-4096.0), -4096);
    EXPECT_FALSE(gridOffset(4096.4));
    EXPECT_FALSE(gridOffset(-1e30));
    EXPECT_FALSE(gridOffset(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(gridOffset(std::numeric_limits<double>::quiet_NaN()));
}
