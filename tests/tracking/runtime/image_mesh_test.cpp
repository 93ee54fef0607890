#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "CalibrationFixture.h"
#include "tracking/runtime/calibration/CorrectionPatch.h"
#include "tracking/runtime/calibration/ImageMesh.h"

using namespace Kestrel::Orb::Tracking;

namespace {

double signedArea(const ImageMesh& mesh, int t) {
    const auto& tri = mesh.triangles()[t];
    const auto& a = mesh.vertices()[tri[0]];
    const auto& b = mesh.vertices()[tri[1]];
    const auto& c = mesh.vertices()[tri[2]];
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

// Brute-force containment, independent of the mesh's own search.
bool contains(const ImageMesh& mesh, int t, double x, double y) {
    const auto& tri = mesh.triangles()[t];
    for (int e = 0; e < 3; ++e) {
        const auto& a = mesh.vertices()[tri[e]];
        const auto& b = mesh.vertices()[tri[(e + 1) % 3]];
        if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) < -1e-12)
            return false;
    }
    return true;
}

} // namespace

TEST(ImageMesh, RingsAndTrianglesAsLaidOut) {
    ImageMesh mesh;
    EXPECT_EQ(0.0, mesh.vertices()[0].x);
    // R_i = (0.75 sqrt(1 - (1 - q)^2) + 0.25 q) / cos(pi / 24), computed separately.
    const double radii[4] = {0.56339832, 0.78120235, 0.92156852, 1.00862896};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(radii[i], mesh.ringRadius(i), 1e-8) << i;
    EXPECT_EQ(1, ImageMesh::ringStart(0));
    EXPECT_EQ(37, ImageMesh::ringStart(3));
    const auto& v37 = mesh.vertices()[37];
    EXPECT_NEAR(1.00862896, v37.x, 1e-8);
    const auto& v19 = mesh.vertices()[19 + 3];  // ring 2, vertex 3: 60 degrees
    EXPECT_NEAR(0.92156852 * 0.5, v19.x, 1e-8);
    EXPECT_NEAR(0.92156852 * std::sqrt(0.75), v19.y, 1e-8);

    // Every triangle counter-clockwise; together they tile the outer 24-gon exactly.
    double area = 0;
    for (int t = 0; t < ImageMesh::triangleCount; ++t) {
        double a = signedArea(mesh, t);
        EXPECT_GT(a, 1e-4) << "triangle " << t;
        area += a;
    }
    double outer = 0.5 * 24 * mesh.ringRadius(3) * mesh.ringRadius(3) * std::sin(2 * M_PI / 24);
    EXPECT_NEAR(outer, area, 1e-12);

    // Inner edges are shared by exactly two triangles, the 24 outer edges by one.
    std::map<std::pair<int, int>, int> edges;
    for (const auto& tri : mesh.triangles())
        for (int e = 0; e < 3; ++e) {
            int a = tri[e], b = tri[(e + 1) % 3];
            ++edges[{std::min(a, b), std::max(a, b)}];
        }
    int boundary = 0;
    for (const auto& [edge, count] : edges) {
        EXPECT_LE(count, 2);
        if (count == 1) {
            ++boundary;
            EXPECT_GE(edge.first, 37);
        }
    }
    EXPECT_EQ(24, boundary);
    EXPECT_EQ(96 + 61 - 1, int(edges.size()));  // Euler: E = F + V - 1 for a disk
}

TEST(ImageMesh, EveryPointOfTheUnitDiskIsLocatedInItsTriangle) {
    ImageMesh mesh;
    std::mt19937 random(17);
    std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
    int tested = 0;
    auto check = [&](double x, double y) {
        ImageMesh::Location location;
        ASSERT_TRUE(mesh.locate(x, y, location)) << x << " " << y;
        ASSERT_TRUE(contains(mesh, location.triangle, x, y)) << x << " " << y << " in " << location.triangle;
        const auto& tri = mesh.triangles()[location.triangle];
        double px = 0, py = 0, sum = 0;
        for (int k = 0; k < 3; ++k) {
            px += location.barycentric[k] * mesh.vertices()[tri[k]].x;
            py += location.barycentric[k] * mesh.vertices()[tri[k]].y;
            sum += location.barycentric[k];
        }
        EXPECT_NEAR(x, px, 1e-12);
        EXPECT_NEAR(y, py, 1e-12);
        EXPECT_NEAR(1.0, sum, 1e-12);
        ++tested;
    };
    for (int i = 0; i < 200000; ++i) {
        double x = coordinate(random), y = coordinate(random);
        if (x * x + y * y < 1.0)
            check(x, y);
    }
    // Vertices, sextant rays and the rim itself.
    for (const auto& v : mesh.vertices())
        if (v.x * v.x + v.y * v.y < 1.0)
            check(v.x, v.y);
    for (int k = 0; k < 3600; ++k) {
        double angle = 2 * M_PI * k / 3600;
        check(0.9999999 * std::cos(angle), 0.9999999 * std::sin(angle));
        check(0.5 * std::cos(angle), 0.5 * std::sin(angle));
    }
    EXPECT_GT(tested, 150000);
}

TEST(ImageMesh, PointsBeyondTheRimFallToTheOuterEdgeOfTheirAngle) {
    ImageMesh mesh;
    ImageMesh::Location location;
    // Angle 100 degrees lies in outer edge 6 (from 90 to 105 degrees): vertices 43 and 44.
    double angle = 100.0 * M_PI / 180.0;
    ASSERT_TRUE(mesh.locate(1.2 * std::cos(angle), 1.2 * std::sin(angle), location));
    const auto& tri = mesh.triangles()[location.triangle];
    EXPECT_NE(std::find(tri.begin(), tri.end(), 43), tri.end());
    EXPECT_NE(std::find(tri.begin(), tri.end(), 44), tri.end());
    double smallest = *std::min_element(location.barycentric.begin(), location.barycentric.end());
    EXPECT_LT(smallest, 0.0);
    EXPECT_FALSE(mesh.locate(NAN, 0.0, location));
    EXPECT_FALSE(mesh.locate(0.0, INFINITY, location));
}

TEST(CorrectionPatch, ConstantMapGivesItsValueEverywhere) {
    ImageMesh mesh;
    CorrectionSet set;
    for (auto& t : set)
        t = {0.125f, 0.0f, 0.0f};
    std::mt19937 random(3);
    std::uniform_real_distribution<double> coordinate(-0.7, 0.7);
    for (int i = 0; i < 1000; ++i) {
        ImageMesh::Location location;
        ASSERT_TRUE(mesh.locate(coordinate(random), coordinate(random), location));
        EXPECT_NEAR(0.125, correctionPatchValue(mesh, location, set), 1e-14);
    }
}

TEST(CorrectionPatch, CornersTakeTheirVertexValues) {
    ImageMesh mesh;
    CorrectionSet set = CalibrationFixture::referenceSettings().correction[0];
    for (int t = 0; t < ImageMesh::triangleCount; ++t)
        for (int k = 0; k < 3; ++k) {
            ImageMesh::Location corner{t, {0, 0, 0}};
            corner.barycentric[k] = 1.0;  // takes the zero-denominator branch of the centre
            EXPECT_NEAR(set[mesh.triangles()[t][k]].value, correctionPatchValue(mesh, corner, set), 1e-9);
        }
}

TEST(CorrectionPatch, APointOnASharedEdgeGetsOneValueFromBothTriangles) {
    ImageMesh mesh;
    const auto settings = CalibrationFixture::referenceSettings();
    int sharedEdges = 0;
    for (int t = 0; t < ImageMesh::triangleCount; ++t)
        for (int u = t + 1; u < ImageMesh::triangleCount; ++u) {
            const auto& a = mesh.triangles()[t];
            const auto& b = mesh.triangles()[u];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    int v0 = a[i], v1 = a[(i + 1) % 3];
                    if (!((b[j] == v1 && b[(j + 1) % 3] == v0) || (b[j] == v0 && b[(j + 1) % 3] == v1)))
                        continue;
                    ++sharedEdges;
                    for (double s : {0.2, 0.5, 0.73}) {
                        ImageMesh::Location la{t, {0, 0, 0}}, lb{u, {0, 0, 0}};
                        la.barycentric[i] = 1 - s;
                        la.barycentric[(i + 1) % 3] = s;
                        int j0 = b[j] == v0 ? j : (j + 1) % 3;
                        int j1 = b[j] == v0 ? (j + 1) % 3 : j;
                        lb.barycentric[j0] = 1 - s;
                        lb.barycentric[j1] = s;
                        for (const auto& set : settings.correction)
                            EXPECT_NEAR(correctionPatchValue(mesh, la, set), correctionPatchValue(mesh, lb, set),
                                        1e-15)
                                << "triangles " << t << " and " << u;
                    }
                }
        }
    EXPECT_EQ(96 + 61 - 1 - 24, sharedEdges);
}
