// PointGrid layout and queries, and the marker grid's spacing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/PointGrid.h"

using namespace Kestrel::Orb::Tracking;

namespace {
Vec2f p(float x, float y) { return Vec2f{{x, y}}; }
} // namespace

TEST(PointGrid, LayoutOfFourCorners) {
    // Box 4 x 2, 4 cells wanted: neither side is thin, so columns = round(sqrt(4 * 4 / 2)) = 3
    // and rows = round(sqrt(4 * 2 / 4)) = 1; cells 4/3 x 2. x = 4 falls in column 3, clamped to 2.
    PointGrid grid;
    grid.build({p(0, 0), p(4, 0), p(0, 2), p(4, 2)}, 1.0f);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.rows, 1);
    EXPECT_FLOAT_EQ(grid.cellWidth, 4.0f / 3);
    EXPECT_FLOAT_EQ(grid.cellHeight, 2.0f);
    EXPECT_EQ(grid.originX, 0.0f);
    EXPECT_EQ(grid.originY, 0.0f);
    EXPECT_EQ(grid.first, (std::vector<int32_t>{0, -1, 1}));
    EXPECT_EQ(grid.next, (std::vector<int32_t>{2, 3, -1, -1}));
}

TEST(PointGrid, ThinBoxesGetOneColumnOrOneRowAndHalvesRoundUp) {
    // 5 points on a vertical line, 2 per cell: 2.5 cells, rounded away from zero to 3 rows.
    PointGrid grid;
    grid.build({p(1, 0), p(1, 1), p(1, 2), p(1, 3), p(1, 4)}, 2.0f);
    EXPECT_EQ(grid.columns, 1);
    EXPECT_EQ(grid.rows, 3);
    EXPECT_FLOAT_EQ(grid.cellHeight, 4.0f / 3);
    // y = 0, 1 in row 0; 2 in row 1; 3, 4 in row 2 (4 clamped).
    EXPECT_EQ(grid.first, (std::vector<int32_t>{0, 2, 3}));
    EXPECT_EQ(grid.next, (std::vector<int32_t>{1, -1, -1, 4, -1}));

    grid.build({p(0, 5), p(3, 5), p(6, 5)}, 1.0f);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.rows, 1);
    EXPECT_EQ(grid.first, (std::vector<int32_t>{0, 1, 2}));
}

TEST(PointGrid, NeverFewerThanOneColumnOrRow) {
    // 2 points, 10 per cell: 0.2 cells, round(sqrt(0.2)) = 0, raised to 1.
    PointGrid grid;
    grid.build({p(0, 0), p(1, 1)}, 10.0f);
    EXPECT_EQ(grid.columns, 1);
    EXPECT_EQ(grid.rows, 1);
    EXPECT_EQ(grid.first, (std::vector<int32_t>{0}));
    EXPECT_EQ(grid.next, (std::vector<int32_t>{1, -1}));
}

TEST(PointGrid, PointsAtOneSpotAndEmptySets) {
    PointGrid grid;
    grid.build({p(2, 3), p(2, 3), p(2.00005f, 3)}, 1.0f);
    EXPECT_EQ(grid.columns, 1);
    EXPECT_EQ(grid.rows, 1);
    EXPECT_EQ(grid.query(p(2, 3), 0.1f), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(grid.query(p(5, 3), 0.1f).empty());

    grid.build({}, 1.0f);
    EXPECT_EQ(grid.columns, 1);
    EXPECT_EQ(grid.rows, 1);
    EXPECT_TRUE(grid.query(p(0, 0), 10).empty());

    PointGrid neverBuilt;
    EXPECT_TRUE(neverBuilt.query(p(0, 0), 10).empty());
}

TEST(PointGrid, ExtentsNearTheFloatRangeKeepASmallGrid) {
    // 6 cells' worth of points spread over +-1.2e38 by +-1e38: cells * width does not fit a
    // float, the aspect ratio still gives 3 x 2 cells (sqrt(6 * 1.2) = 2.68, sqrt(6 / 1.2) = 2.24).
    const std::vector<Vec2f> points{Vec2f{{-1.2e38f, -1e38f}}, Vec2f{{1.2e38f, 1e38f}}, Vec2f{{0, 0}},
                                    Vec2f{{1e37f, -1e37f}}, Vec2f{{-1e37f, 1e37f}}, Vec2f{{0, 1}}};
    PointGrid grid;
    grid.build(points, 1.0f);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.rows, 2);
    EXPECT_EQ(grid.first.size(), 6u);
}

TEST(PointGrid, RejectsANonPositiveDensity) {
    PointGrid grid;
    for (float bad : {0.0f, -1.0f, std::nanf("")}) {
        try {
            grid.build({p(0, 0)}, bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "Invalid argument: averagePointsPerCell");
        }
    }
}

TEST(PointGrid, QueryIncludesTheRadiusAndVisitsCellsInOrder) {
    PointGrid grid;
    // A flat box, 4 / 1.5 = 2.67 cells: three columns of one row, x in [0, 4/3), [4/3, 8/3), [8/3, 4].
    grid.build({p(4, 0), p(0, 0), p(2, 0), p(0.5f, 0)}, 1.5f);
    ASSERT_EQ(grid.columns, 3);
    ASSERT_EQ(grid.rows, 1);
    // Distance exactly 0.5 is inside.
    EXPECT_EQ(grid.query(p(0, 0), 0.5f), (std::vector<std::size_t>{1, 3}));
    // Column order first (1 and 3 in column 0, 2 in column 1, 0 in column 2).
    EXPECT_EQ(grid.query(p(2, 0), 2.5f), (std::vector<std::size_t>{1, 3, 2, 0}));
    // Far outside the box: border cells only, no overflow.
    EXPECT_TRUE(grid.query(p(1e30f, -1e30f), 1.0f).empty());
    EXPECT_TRUE(grid.query(p(INFINITY, 0), 1.0f).empty());
    EXPECT_TRUE(grid.query(p(std::nanf(""), 0), 1.0f).empty());
}

TEST(PointGrid, QueryFindsWhatABruteForceSearchFinds) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-5, 5), radius(0.05f, 2.0f);
    for (float density : {0.5f, 1.0f, 1.5f, 4.0f}) {
        std::vector<Vec2f> points;
        for (int i = 0; i < 300; ++i)
            points.push_back(p(coordinate(random), coordinate(random) * 0.3f));
        PointGrid grid;
        grid.build(points, density);
        for (int q = 0; q < 200; ++q) {
            const Vec2f centre = p(coordinate(random) * 1.2f, coordinate(random) * 0.4f);
            const float r = radius(random);
            std::vector<std::size_t> expected;
            for (std::size_t i = 0; i < points.size(); ++i) {
                const double dx = double(points[i].x()) - centre.x(), dy = double(points[i].y()) - centre.y();
                if (std::sqrt(dx * dx + dy * dy) <= r - 1e-5)
                    expected.push_back(i);
                else if (std::sqrt(dx * dx + dy * dy) < r + 1e-5)
                    expected.push_back(i | (std::size_t(1) << 62));  // too close to call
            }
            std::vector<std::size_t> found = grid.query(centre, r);
            std::sort(found.begin(), found.end());
            for (std::size_t e : expected) {
                if (e & (std::size_t(1) << 62))
                    continue;
                EXPECT_TRUE(std::binary_search(found.begin(), found.end(), e)) << "missed point " << e;
            }
            for (std::size_t f : found) {
                const double dx = double(points[f].x()) - centre.x(), dy = double(points[f].y()) - centre.y();
                EXPECT_LT(std::sqrt(dx * dx + dy * dy), r + 1e-5) << "point " << f << " is outside";
            }
        }
    }
}

TEST(MarkerGrid, MinimumSpacing) {
    MarkerGrid markers;
    markers.rebuild({p(0, 0)}, 1.0f);
    EXPECT_EQ(markers.minSpacing, 0.5f);
    markers.rebuild({}, 1.0f);
    EXPECT_EQ(markers.minSpacing, 0.5f);
    markers.rebuild({p(0, 0), p(3, 4), p(10, 0), p(3, 4.5f)}, 1.0f);
    EXPECT_FLOAT_EQ(markers.minSpacing, 0.5f);
    markers.rebuild({p(0, 0), p(3, 4), p(6, 8)}, 1.0f);
    EXPECT_FLOAT_EQ(markers.minSpacing, 5.0f);
    EXPECT_EQ(markers.matchRadiusFactor, 0.8f);
}
