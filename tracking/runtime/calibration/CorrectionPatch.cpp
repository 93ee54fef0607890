#include "tracking/runtime/calibration/CorrectionPatch.h"

namespace Kestrel::Orb::Tracking {

namespace {

using Point = ImageMesh::Point;

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y; }
Point minus(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y}; }

// Control point next to corner i on the edge towards corner j.
double edgePoint(const CorrectionTriple& t, const Point& pi, const Point& pj) {
    return double(t.value) - (double(t.a) * (pj.x - pi.x) + double(t.b) * (pj.y - pi.y)) / 3.0;
}

// Position of the foot of `opposite` on the edge from -> to, as a fraction of that edge.
double footFraction(const Point& from, const Point& to, const Point& opposite) {
    Point edge = minus(to, from);
    return dot(minus(opposite, from), edge) / dot(edge, edge);
}

} // namespace

double correctionPatchValue(const ImageMesh& mesh, const ImageMesh::Location& location, const CorrectionSet& set) {
    const auto& triangle = mesh.triangles()[location.triangle];
    const Point& p0 = mesh.vertices()[triangle[0]];
    const Point& p1 = mesh.vertices()[triangle[1]];
    const Point& p2 = mesh.vertices()[triangle[2]];
    const CorrectionTriple& t0 = set[triangle[0]];
    const CorrectionTriple& t1 = set[triangle[1]];
    const CorrectionTriple& t2 = set[triangle[2]];
    const double f0 = t0.value, f1 = t1.value, f2 = t2.value;

    const double b01 = edgePoint(t0, p0, p1), b10 = edgePoint(t1, p1, p0);
    const double b02 = edgePoint(t0, p0, p2), b20 = edgePoint(t2, p2, p0);
    const double b12 = edgePoint(t1, p1, p2), b21 = edgePoint(t2, p2, p1);

    double l = footFraction(p0, p1, p2);
    const double e01 = (1.0 - l) * b01 + l * b10;
    l = footFraction(p2, p0, p1);
    const double e02 = (1.0 - l) * b20 + l * b02;
    l = footFraction(p1, p2, p0);
    const double e12 = (1.0 - l) * b12 + l * b21;

    const double w0 = location.barycentric[0], w1 = location.barycentric[1], w2 = location.barycentric[2];
    const double denominator = w0 * w1 + w0 * w2 + w1 * w2;
    double centre;
    if (denominator == 0.0)
        centre = (w0 + w1) * 0.5 * e01 + (w0 + w2) * 0.5 * e02 + (w1 + w2) * 0.5 * e12;
    else
        centre = (w0 * w1 * e01 + w0 * w2 * e02 + w1 * w2 * e12) / denominator;

    return f0 * w0 * w0 * w0 + f1 * w1 * w1 * w1 + f2 * w2 * w2 * w2 +
           3.0 * (b01 * w0 * w0 * w1 + b10 * w0 * w1 * w1 + b02 * w0 * w0 * w2 + b20 * w0 * w2 * w2 +
                  b12 * w1 * w1 * w2 + b21 * w1 * w2 * w2) +
           6.0 * centre * w0 * w1 * w2;
}

} // namespace Kestrel::Orb::Tracking
