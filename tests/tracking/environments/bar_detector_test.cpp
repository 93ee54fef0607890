// The bar detector on hand-made point sets and on random clouds with known bars.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tracking/environments/BarDetector.h"
#include "tracking/environments/RayProjection.h"

using namespace Kestrel::Orb::Tracking;

namespace {

Vec2f p(double x, double y) { return Vec2f{{float(x), float(y)}}; }
Bar bar(std::size_t a, std::size_t b, std::size_t c) { return Bar{{a, b, c}}; }

std::vector<Bar> detect(const std::vector<Vec2f>& points, float middleRatio = 0.3f) {
    return findBars(points, middleRatio, defaultDetectorShape, defaultDetectorScale);
}

} // namespace

TEST(RayProjection, MeetsThePlaneOneUnitAlongMinusY) {
    const Vec2f a = projectRay(Vec3f{{0.2f, -0.5f, -0.1f}});
    EXPECT_FLOAT_EQ(a.x(), 0.4f);
    EXPECT_FLOAT_EQ(a.y(), -0.2f);
    const std::vector<Vec2f> points = projectRays({Vec3f{{0, -1, 0}}, Vec3f{{3, -2, 1}}});
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0], p(0, 0));
    EXPECT_EQ(points[1], p(1.5, 0.5));
}

TEST(FindBars, OneBarInAnyPointOrder) {
    // First end at 0, middle at 0.3, last at 1: the middle is 0.3 of the bar from the first.
    EXPECT_EQ(detect({p(0, 0), p(0.3, 0), p(1, 0)}), (std::vector<Bar>{bar(0, 1, 2)}));
    // Listed the other way round: the end nearer to the middle is still first.
    EXPECT_EQ(detect({p(1, 0), p(0.3, 0), p(0, 0)}), (std::vector<Bar>{bar(2, 1, 0)}));
    EXPECT_EQ(detect({p(0.3, 0), p(1, 0), p(0, 0)}), (std::vector<Bar>{bar(2, 0, 1)}));
    // Turned and scaled, away from the origin.
    const double c = std::cos(2.0), s = std::sin(2.0), L = 0.07;
    auto at = [&](double t) { return p(5 + c * t * L, -3 + s * t * L); };
    EXPECT_EQ(detect({at(0.3), at(1), at(0)}), (std::vector<Bar>{bar(2, 0, 1)}));
}

TEST(FindBars, ToleranceOfTheMiddleFractionAndTheLine) {
    EXPECT_EQ(detect({p(0, 0), p(0.345, 0), p(1, 0)}).size(), 1u);
    EXPECT_TRUE(detect({p(0, 0), p(0.355, 0), p(1, 0)}).empty());
    EXPECT_EQ(detect({p(0, 0), p(0.255, 0), p(1, 0)}).size(), 1u);
    EXPECT_TRUE(detect({p(0, 0), p(0.245, 0), p(1, 0)}).empty());
    EXPECT_EQ(detect({p(0, 0), p(0.3, 0.0095), p(1, 0)}).size(), 1u);
    EXPECT_TRUE(detect({p(0, 0), p(0.3, -0.0105), p(1, 0)}).empty());
    // The middle ratio is the detector's parameter.
    EXPECT_EQ(detect({p(0, 0), p(0.45, 0), p(1, 0)}, 0.45f).size(), 1u);
    EXPECT_TRUE(detect({p(0, 0), p(0.45, 0), p(1, 0)}, 0.3f).empty());
}

TEST(FindBars, AFourthPointInsideTheEllipseDiscardsThePair) {
    // Default ellipse: along 0.59, across 0.54 (in bar lengths around the bar's centre).
    // (0.5, 0.5) lies at (u, v) = (0, 0.5): (0.5 / 0.54)^2 = 0.857 < 1, inside.
    EXPECT_TRUE(detect({p(0, 0), p(0.3, 0), p(1, 0), p(0.5, 0.5)}).empty());
    // (0.5, 0.56): (0.56 / 0.54)^2 = 1.075, outside; the bar is found, the fourth point is no part of it.
    EXPECT_EQ(detect({p(0, 0), p(0.3, 0), p(1, 0), p(0.5, 0.56)}), (std::vector<Bar>{bar(0, 1, 2)}));
    // Along the bar: u = 0.58 is inside (0.58 / 0.59 < 1), u = 0.6 outside.
    EXPECT_TRUE(detect({p(0, 0), p(0.3, 0), p(1, 0), p(1.08, 0.0)}).empty());
    EXPECT_EQ(detect({p(0, 0), p(0.3, 0), p(1, 0), p(1.1, 0.0)}).size(), 1u);
}

TEST(FindBars, ShearTiltsTheEllipse) {
    // Shape (0.6, 0.6, 0.2), scale 1: along 0.6, across 0.6, shear 0.2. A fourth point at
    // (u, v) = (-0.3, 0.5): mapped through the inverse matrix to (-0.3/0.6 - 0.2*0.5/0.36,
    // 0.5/0.6) = (-0.778, 0.833), squared length 1.299: outside. Without shear (-0.5, 0.833),
    // 0.944: inside.
    const std::vector<Vec2f> points{p(0, 0), p(0.3, 0), p(1, 0), p(0.2, 0.5)};
    EXPECT_EQ(findBars(points, 0.3f, Vec3f{{0.6f, 0.6f, 0.2f}}, 1.0f), (std::vector<Bar>{bar(0, 1, 2)}));
    EXPECT_TRUE(findBars(points, 0.3f, Vec3f{{0.6f, 0.6f, 0.0f}}, 1.0f).empty());
}

TEST(FindBars, FewAndCoincidentPoints) {
    EXPECT_TRUE(detect({}).empty());
    EXPECT_TRUE(detect({p(0, 0), p(1, 0)}).empty());
    EXPECT_TRUE(detect({p(0, 0), p(0, 0), p(0, 0)}).empty());
}

// Random clouds: points at least 0.6 apart except for the inserted bars. Every inserted bar is
// found, and every other reported triple really is three points on a line with the middle at
// the configured fraction (checked from the coordinates, not by the detector's own formula).
TEST(FindBars, RandomCloudsWithKnownBars) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    const double q = 0.3;
    int inserted = 0, found = 0, extra = 0;
    for (int cloud = 0; cloud < 200; ++cloud) {
        std::vector<Vec2f> points;
        std::vector<Bar> bars;
        auto farFromAll = [&](double x, double y, double distance) {
            for (const Vec2f& o : points)
                if (std::hypot(o.x() - x, o.y() - y) < distance)
                    return false;
            return true;
        };
        const int barCount = 1 + cloud % 4;
        for (int b = 0; b < barCount; ++b) {
            for (int attempt = 0; attempt < 100; ++attempt) {
                const double cx = unit(random) * 10, cy = unit(random) * 10, angle = unit(random) * 2 * 3.14159265358979323846;
                const double L = 0.5 + unit(random);
                const double dx = std::cos(angle) * L, dy = std::sin(angle) * L;
                // Keep a margin of a bar length around it, so no other point sits in its ellipse.
                if (!farFromAll(cx, cy, 2.0 * L + 0.6))
                    continue;
                const std::size_t first = points.size();
                const double x0 = cx - dx / 2, y0 = cy - dy / 2;
                std::vector<std::size_t> order{0, 1, 2};
                std::shuffle(order.begin(), order.end(), random);
                const double t[3] = {0, q, 1};
                std::size_t slot[3];
                for (std::size_t k = 0; k < 3; ++k) {
                    slot[order[k]] = first + k;
                    points.push_back(p(x0 + dx * t[order[k]], y0 + dy * t[order[k]]));
                }
                bars.push_back(bar(slot[0], slot[1], slot[2]));
                break;
            }
        }
        const std::size_t background = 6 + cloud % 40;
        for (std::size_t i = 0; i < background; ++i) {
            double x = unit(random) * 10, y = unit(random) * 10;
            if (farFromAll(x, y, 0.6)) {
                bool nearBar = false;
                for (const Bar& b : bars) {
                    const Vec2f& a = points[b[0]];
                    const Vec2f& c = points[b[2]];
                    const double L = std::hypot(c.x() - a.x(), c.y() - a.y());
                    nearBar = nearBar || std::hypot((a.x() + c.x()) / 2 - x, (a.y() + c.y()) / 2 - y) < 2.0 * L;
                }
                if (!nearBar)
                    points.push_back(p(x, y));
            }
        }
        const std::vector<Bar> result = detect(points, float(q));
        inserted += int(bars.size());
        for (const Bar& b : bars) {
            const bool present = std::find(result.begin(), result.end(), b) != result.end();
            EXPECT_TRUE(present) << "cloud " << cloud << ": bar (" << b[0] << ", " << b[1] << ", " << b[2] << ") missed";
            found += present;
        }
        for (const Bar& r : result) {
            if (std::find(bars.begin(), bars.end(), r) != bars.end())
                continue;
            ++extra;
            const Vec2f &a = points[r[0]], &m = points[r[1]], &c = points[r[2]];
            const double L = std::hypot(c.x() - a.x(), c.y() - a.y());
            const double offLine = std::abs((c.x() - a.x()) * (m.y() - a.y()) - (c.y() - a.y()) * (m.x() - a.x())) / L;
            const double fromFirst = std::hypot(m.x() - a.x(), m.y() - a.y()) / L;
            EXPECT_LT(offLine / L, 0.0101) << "cloud " << cloud << ": invented a triple off the line";
            EXPECT_LT(std::abs(fromFirst - q), 0.0501) << "cloud " << cloud << ": invented a triple off the fraction";
        }
    }
    EXPECT_EQ(found, inserted);
    RecordProperty("extraTriples", extra);
}

// Spaced points without any collinear middle point: nothing is reported.
TEST(FindBars, NoTripleWithoutACollinearMiddlePoint) {
    std::mt19937 random(12);
    std::uniform_real_distribution<double> unit(0, 1);
    int clouds = 0;
    for (int attempt = 0; attempt < 5000 && clouds < 200; ++attempt) {
        std::vector<Vec2f> points;
        for (int i = 0; i < 8; ++i)
            points.push_back(p(unit(random) * 10, unit(random) * 10));
        // Skip clouds that happen to hold a near-collinear triple at a bar-like fraction.
        bool barLike = false;
        for (std::size_t a = 0; a < points.size() && !barLike; ++a)
            for (std::size_t c = 0; c < points.size() && !barLike; ++c)
                for (std::size_t m = 0; m < points.size() && !barLike; ++m) {
                    if (a == c || a == m || c == m)
                        continue;
                    const double L = std::hypot(points[c].x() - points[a].x(), points[c].y() - points[a].y());
                    const double cross = (points[c].x() - points[a].x()) * (points[m].y() - points[a].y()) -
                                         (points[c].y() - points[a].y()) * (points[m].x() - points[a].x());
                    const double along = std::hypot(points[m].x() - points[a].x(), points[m].y() - points[a].y()) / L;
                    barLike = std::abs(cross) / (L * L) < 0.02 && along > 0.2 && along < 0.4;
                }
        if (barLike)
            continue;
        ++clouds;
        EXPECT_TRUE(detect(points).empty()) << "cloud " << clouds;
    }
    EXPECT_EQ(clouds, 200);
}
