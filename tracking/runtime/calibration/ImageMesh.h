#pragma once
// The fixed triangle mesh over the unit disk on which the correction map is defined.
//
// Vertex 0 is the centre; ring i = 0..3 has n_i = 6 (i + 1) vertices (numbers 1..6, 7..18,
// 19..36, 37..60), vertex j at angle 2 pi j / n_i and radius
//     R_i = (0.75 sqrt(1 - (1 - q_i)^2) + 0.25 q_i) / cos(pi / 24),   q_i = (i + 1) / 4.
// Ring i adds 6 (2 i + 1) triangles between itself and the ring inside it (96 in all), built
// sextant by sextant. The outer 24-gon has inner radius exactly 1, so the whole unit disk is
// covered. Triangles are stored counter-clockwise.

#include <array>
#include <cstdint>

namespace Kestrel::Orb::Tracking {

class ImageMesh {
public:
    static constexpr int ringCount = 4;
    static constexpr int vertexCount = 61;
    static constexpr int triangleCount = 96;

    struct Point {
        double x = 0, y = 0;
    };
    // A located point: its triangle and its barycentric coordinates there, in the order of the
    // triangle's stored vertices. Outside the outer ring one coordinate is negative.
    struct Location {
        int triangle = -1;
        std::array<double, 3> barycentric{};
    };

    ImageMesh();

    const std::array<Point, vertexCount>& vertices() const { return vertices_; }
    const std::array<std::array<int, 3>, triangleCount>& triangles() const { return triangles_; }
    double ringRadius(int ring) const { return ringRadius_[ring]; }

    // The triangle containing (x, y). A point beyond the outer ring is given the outer triangle
    // whose outer edge has index floor(angle / 2 pi * 24). Returns false only for a point that
    // is not finite.
    bool locate(double x, double y, Location& location) const;

    // The first vertex number of ring i (1, 7, 19, 37).
    static constexpr int ringStart(int ring) { return 1 + 3 * ring * (ring + 1); }

private:
    // One ring's triangles in one sextant, ordered by angle, and the spokes (inner vertex, outer
    // vertex) that separate them: spoke s is the first edge of triangle s.
    struct SextantBand {
        int firstTriangle = 0;
        int triangleCount = 0;
        std::array<std::array<int, 2>, 8> spokes{};  // at most 2 * 3 + 1 triangles per band
    };

    void build();
    void computeBarycentric(int triangle, double x, double y, Location& location) const;
    int sextantOf(double x, double y) const;
    int searchBand(const SextantBand& band, double x, double y) const;
    bool insideTriangle(const Location& location) const;

    std::array<Point, vertexCount> vertices_{};
    std::array<std::array<int, 3>, triangleCount> triangles_{};
    std::array<double, ringCount> ringRadius_{};
    std::array<double, ringCount> ringRadiusSquared_{};
    std::array<double, ringCount> innerRadiusSquared_{};
    std::array<std::array<SextantBand, 6>, ringCount> bands_{};
    std::array<int, 24> outerEdgeTriangle_{};
};

} // namespace Kestrel::Orb::Tracking
