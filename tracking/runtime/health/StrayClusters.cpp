#include "tracking/runtime/health/StrayClusters.h"

#include <algorithm>
#include <cmath>

#include <Eigen/Dense>

namespace Kestrel::Orb::Tracking::Health {

namespace {

// Smallest eigenvalue of the averaged normal matrix that counts as seen from enough places
// (rays about 10 degrees apart).
constexpr double wellSeen = 0.02;
constexpr double farthestHit = 20.0;

} // namespace

StrayClusters::StrayClusters(double radius, std::size_t capacity) : radius_(radius), capacity_(capacity) {}

bool StrayClusters::add(int64_t frame, const Point3& camera, const Point3& w, double planeY, double value,
                        double imageX, double imageY) {
    if (std::fabs(w.y) < 1e-6)
        return false;
    const double t = (planeY - camera.y) / w.y;
    if (!(t > 0 && t < farthestHit))
        return false;
    const double x = camera.x + t * w.x, z = camera.z + t * w.z;
    const long cx = long(std::floor(x / radius_)), cz = long(std::floor(z / radius_));
    int found = -1;
    double best = radius_ * radius_;
    for (long i = cx - 1; i <= cx + 1; ++i)
        for (long k = cz - 1; k <= cz + 1; ++k) {
            auto cell = cells_.find(cellKey(i, k));
            if (cell == cells_.end())
                continue;
            for (int index : cell->second) {
                const Cluster& c = clusters_[std::size_t(index)];
                const double d2 = (c.firstX - x) * (c.firstX - x) + (c.firstZ - z) * (c.firstZ - z);
                if (d2 <= best) {
                    best = d2;
                    found = index;
                }
            }
        }
    if (found < 0) {
        if (clusters_.size() >= capacity_) {
            ++unclustered_;
            return false;
        }
        found = int(clusters_.size());
        clusters_.emplace_back();
        clusters_.back().firstX = x;
        clusters_.back().firstZ = z;
        cells_[cellKey(cx, cz)].push_back(found);
    }
    Cluster& c = clusters_[std::size_t(found)];
    c.sumX += x;
    c.sumY += planeY;
    c.sumZ += z;
    ++c.hits;
    if (c.lastFrame != frame) {
        ++c.frames;
        c.lastFrame = frame;
    }
    c.valueSum += value;
    c.imageX += imageX;
    c.imageY += imageY;
    // (I - w w^T) and (I - w w^T) camera.
    const double m[6] = {1 - w.x * w.x, -w.x * w.y, -w.x * w.z, 1 - w.y * w.y, -w.y * w.z, 1 - w.z * w.z};
    for (int i = 0; i < 6; ++i)
        c.a[i] += m[i];
    c.b[0] += m[0] * camera.x + m[1] * camera.y + m[2] * camera.z;
    c.b[1] += m[1] * camera.x + m[3] * camera.y + m[4] * camera.z;
    c.b[2] += m[2] * camera.x + m[4] * camera.y + m[5] * camera.z;
    return true;
}

void StrayClusters::countInView(int64_t frame, const std::function<bool(const Point3&)>& inView) {
    for (Cluster& c : clusters_) {
        if (c.hits < candidateHits)
            continue;
        const double n = double(c.hits);
        if (!inView(Point3{c.sumX / n, c.sumY / n, c.sumZ / n}))
            continue;
        // Only sightings in frames where the place was in view count against those frames, so a
        // flickering light near the edge of the view does not look steady.
        ++c.framesInView;
        if (c.lastFrame == frame)
            ++c.framesAsCandidate;
    }
}

std::vector<StraySource> StrayClusters::sources(int64_t minimumHits, const std::vector<Point3>& markers) const {
    std::vector<StraySource> out;
    for (const Cluster& c : clusters_) {
        if (c.hits < minimumHits)
            continue;
        const double n = double(c.hits);
        StraySource s;
        s.position = {c.sumX / n, c.sumY / n, c.sumZ / n};
        s.hits = c.hits;
        s.frames = c.frames;
        s.framesInView = c.framesInView;
        s.frameShare = c.framesInView > 0 ? std::min(1.0, double(c.framesAsCandidate) / double(c.framesInView)) : 0.0;
        s.meanValue = c.valueSum / n;
        s.imageX = c.imageX / n;
        s.imageY = c.imageY / n;
        Eigen::Matrix3d a;
        a << c.a[0], c.a[1], c.a[2], c.a[1], c.a[3], c.a[4], c.a[2], c.a[4], c.a[5];
        Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(a / n);
        if (solver.info() == Eigen::Success && solver.eigenvalues()[0] >= wellSeen) {
            const Eigen::Vector3d p = a.ldlt().solve(Eigen::Vector3d(c.b[0], c.b[1], c.b[2]));
            s.triangulated = true;
            s.triangulatedPosition = {p[0], p[1], p[2]};
        }
        for (std::size_t k = 0; k < markers.size(); ++k) {
            const double dx = markers[k].x - s.position.x, dy = markers[k].y - s.position.y,
                         dz = markers[k].z - s.position.z;
            if (dx * dx + dy * dy + dz * dz <= radius_ * radius_) {
                s.nearMarker = int32_t(k);
                break;
            }
        }
        out.push_back(s);
    }
    std::sort(out.begin(), out.end(), [](const StraySource& a, const StraySource& b) { return a.frames > b.frames; });
    return out;
}

} // namespace Kestrel::Orb::Tracking::Health
