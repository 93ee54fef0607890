#pragma once
// Places where unmatched blobs keep appearing. Each unmatched ray of a frame tracked in 6DoF
// is followed from the camera to the marker plane (y = planeY); hits within `radius` of a
// cluster's first hit (in x and z) join it. A steady light is one cluster over many frames;
// spurious blobs scatter into clusters of a few hits.
//
// Besides the plane hits each cluster keeps the normal equations of the point nearest all its
// rays, sum (I - w w^T) x = sum (I - w w^T) c (w the unit ray, c the camera), so that a source
// above or below the plane seen from several places is located in space as well.
//
// Clusters with `candidateHits` hits or more are candidates: from then on the frames in which
// their place was in view are counted, so that "seen in 95 % of the frames it was in view" can
// be told from "seen now and then".

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "tracking/runtime/health/HealthReport.h"

namespace Kestrel::Orb::Tracking::Health {

class StrayClusters {
public:
    static constexpr int64_t candidateHits = 20;

    StrayClusters(double radius, std::size_t capacity = 512);

    // One unmatched ray of frame number `frame`: camera position and world direction (unit).
    // Rays that do not meet the plane ahead within 20 m are ignored. Returns whether it joined
    // or made a cluster.
    bool add(int64_t frame, const Point3& camera, const Point3& direction, double planeY, double value, double imageX,
             double imageY);
    // Counts frame `frame` for every candidate whose place `inView` (world point) says was in
    // view, and whether the candidate was seen in it; call after that frame's `add` calls.
    void countInView(int64_t frame, const std::function<bool(const Point3&)>& inView);

    // The clusters with at least `minimumHits` hits, most frames first; `markers` mark those that
    // lie within `radius` of a marker (nearMarker).
    std::vector<StraySource> sources(int64_t minimumHits, const std::vector<Point3>& markers) const;
    int64_t unclustered() const { return unclustered_; }

private:
    struct Cluster {
        double sumX = 0, sumY = 0, sumZ = 0;
        int64_t hits = 0, frames = 0, lastFrame = -1;
        int64_t framesAsCandidate = 0, framesInView = 0;
        double valueSum = 0, imageX = 0, imageY = 0;
        double a[6] = {0, 0, 0, 0, 0, 0};  // xx, xy, xz, yy, yz, zz
        double b[3] = {0, 0, 0};
        double firstX = 0, firstZ = 0;
    };
    int64_t cellKey(long cx, long cz) const { return (int64_t(cx) << 32) ^ int64_t(uint32_t(cz)); }

    double radius_;
    std::size_t capacity_;
    std::vector<Cluster> clusters_;
    std::unordered_map<int64_t, std::vector<int>> cells_;
    int64_t unclustered_ = 0;
};

} // namespace Kestrel::Orb::Tracking::Health
