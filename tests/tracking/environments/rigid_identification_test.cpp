// Identification of the place on rigid tile layouts from first principles: random camera poses
// over known layouts, true (or noisy) rays to the markers in view, and a check of every index
// and of the pose that matchRays returns.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "RigidScene.h"
#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

using namespace Kestrel::Orb::Tracking;
using namespace RigidScene;

namespace {

struct Rates {
    unsigned poses = 0, eligible = 0, identified = 0, wrong = 0, gaveUp = 0;
    uint64_t mostWork = 0;  // of the identified frames
    double rate() const { return eligible ? double(identified) / eligible : 0; }
};

// A found result counts as identified when every non-negative index is the ray's true marker,
// at least minBars bars' worth of rays are matched, and the pose is within 2 cm and 1 degree;
// any other found result is a wrong identification.
Rates measure(const RigidParameters& p, unsigned poses, double noise, unsigned seed) {
    OrbEnvironmentRigid environment(p);
    const std::vector<Vec> markers = markersOf(p);
    std::mt19937 random(seed);
    Rates rates;
    for (unsigned i = 0; i < poses; ++i) {
        const View view = randomView(p, markers, random, noise);
        ++rates.poses;
        std::vector<MarkerIndex> indices;
        Pose pose{};
        MatchBudget budget;
        const bool found = environment.matchRays(view.rays, indices, pose, budget);
        rates.gaveUp += budget.exhausted();
        const bool eligible = view.wholeBars >= environment.minBars;
        rates.eligible += eligible;
        if (!found)
            continue;
        bool allRight = indices.size() == view.rays.size();
        unsigned matched = 0;
        for (std::size_t r = 0; allRight && r < indices.size(); ++r)
            if (indices[r] >= 0) {
                allRight = indices[r] == view.truth[r];
                ++matched;
            }
        const double positionError = norm(sub(toVec(pose.position), view.pose.position));
        const double angleError = angleBetween(matrixOf(pose.rotation), view.pose.rotation);
        if (!allRight || matched < environment.minBars * 3 || positionError > 0.02 || angleError > pi / 180) {
            ++rates.wrong;
            ADD_FAILURE() << "pose " << i << ": indices right " << allRight << ", " << matched << " matched, position off "
                          << positionError << " m, rotation off " << angleError * 180 / pi << " deg";
        } else if (eligible) {
            ++rates.identified;
            rates.mostWork = std::max(rates.mostWork, budget.spent());
        }
    }
    return rates;
}

void report(const char* name, const Rates& r) {
    std::printf("%s: %u poses, %u see minBars whole bars, %u of them identified (%.2f %%), %u wrong; %u gave up, "
                "identified frames used at most %.1f %% of the work budget\n",
                name, r.poses, r.eligible, r.identified, 100 * r.rate(), r.wrong, r.gaveUp,
                100.0 * double(r.mostWork) / double(MatchBudget::defaultUnits));
}

RigidParameters grid(uint32_t width, uint32_t depth, float barLength, float tileSize) {
    RigidParameters p;
    p.width = width;
    p.depth = depth;
    p.barLength = barLength;
    p.middleRatio = 0.33333334f;
    p.tileSize = tileSize;
    return p;
}

// Occupied tiles and turns drawn from raw std::mt19937 values.
RigidParameters randomLayout(RigidParameters p, unsigned percent, unsigned seed) {
    std::mt19937 random(seed);
    for (uint32_t x = 0; x < p.width; ++x)
        for (uint32_t y = 0; y < p.depth; ++y)
            if (random() % 100 < percent)
                p.tiles.push_back(RigidTile{x, y, uint8_t(random() % 4)});
    return p;
}

// The targets: of the poses that see at least minBars whole bars, 95 % identified with exact
// rays and 90 % with 0.5 mrad of noise per ray; never a wrong identification.
void expectTargets(const char* name, const RigidParameters& p, unsigned seed) {
    const Rates exact = measure(p, 2000, 0, seed);
    report((std::string(name) + ", exact rays").c_str(), exact);
    const Rates noisy = measure(p, 2000, 0.0005, seed + 1);
    report((std::string(name) + ", 0.5 mrad").c_str(), noisy);
    EXPECT_EQ(exact.wrong + noisy.wrong, 0u);
    EXPECT_GE(exact.rate(), 0.95);
    EXPECT_GE(noisy.rate(), 0.90);
}

} // namespace

TEST(RigidIdentification, DefaultPuzzleFloor) {
    // The simulator's default floor: legacy code naming "puzzle" (1.5 m bars, 0.6 m tiles), 6 by
    // 6 tiles, nine of them occupied (bytes written out by hand).
    const EnvironmentCode code = parseEnvironmentCode("AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==");
    ASSERT_TRUE(code.rigid);
    ASSERT_EQ(code.rigid->tiles.size(), 9u);
    EXPECT_FLOAT_EQ(code.rigid->barLength, 1.5f);
    expectTargets("default puzzle floor", *code.rigid, 51);
}

TEST(RigidIdentification, SmallBarsOnSixBySix) {
    expectTargets("6x6, 0.5 m bars", randomLayout(grid(6, 6, 0.5f, 0.6f), 50, 1), 11);
}

TEST(RigidIdentification, TenByTen) {
    RigidParameters p = randomLayout(grid(10, 10, 0.5f, 0.6f), 50, 2);
    p.barAngle = -0.1f;
    p.barOffsetX = 0.03f;
    expectTargets("10x10, 0.5 m bars", p, 21);
}

TEST(RigidIdentification, CeilingAtTwoAndAHalfMetres) {
    RigidParameters p = randomLayout(grid(8, 8, 0.5f, 0.6f), 50, 3);
    p.ceiling = true;
    p.planeHeight = 2.5f;
    expectTargets("8x8 ceiling at 2.5 m", p, 31);
}

TEST(RigidIdentification, PuzzleBarsOnClearLayout) {
    expectTargets("6x6 puzzle bars, clear layout", clearLayout(grid(6, 6, 1.5f, 0.6f), 3, 1.0), 41);
}
