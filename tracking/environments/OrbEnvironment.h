#pragma once
// Base of every environment kind: the bar geometry, the marker grid, the bar detection hook,
// and the IEnvironment methods that forward to the kind's virtual operations.

#include <atomic>
#include <cstdint>
#include <vector>

#include "interface_contract/Remap.h"
#include "tracking/environments/DebugHook.h"
#include "tracking/environments/EnvironmentInterfaces.h"
#include "tracking/environments/PointGrid.h"

namespace Kestrel::Orb::Tracking {

// The grid over the horizontal (x, z) marker positions, with what matching near a position needs.
struct MarkerGrid {
    PointGrid grid;
    float matchRadiusFactor = 0.8f;  // query radius as a fraction of minSpacing
    bool ceiling = false;            // the markers face down
    float planeHeight = 0;           // y of the marker plane
    float minSpacing = 0.5f;         // smallest distance between two markers; 0.5 below two markers

    // Rebuilds the grid over `points` and recomputes minSpacing over all pairs.
    void rebuild(const std::vector<Vec2f>& points, float averagePointsPerCell);
};

// Callback data of the bar detection hook: the projected points, the bars found among them,
// the detector's shape and scale.
using BarDetectionHook = DebugHook<const std::vector<Vec2f>&, const std::vector<Bar>&, const Vec3f&, float>;

class OrbEnvironment : public InterfaceContract::Implements<IEnvironment> {
public:
    OrbEnvironment(float barLength, float middleRatio);
    ~OrbEnvironment() override = default;

    // Virtual operations of every kind.
    virtual bool isAdaptive() const;
    virtual int32_t revision() const;
    // Identifies markers from rays of the tracker frame. On success `indices` holds one
    // MarkerIndex per ray and `pose` the tracker's pose. Too few rays: false, outputs untouched.
    virtual bool matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) = 0;
    // True when the ray points against `up`, i.e. towards a floor.
    virtual bool acceptRay(const Vec3f& up, const Vec3f& ray) const;
    // The tile area of kinds that have one (viewers draw it).
    virtual bool hasBounds() const;
    virtual int boundsCornerCount() const;
    virtual Vec2f boundsCorner(int corner) const;
    // The markers in environment coordinates, in MarkerIndex order.
    virtual std::vector<Vec3f> markerPositions() const = 0;

    // Same for every kind: casts each ray (environment coordinates) from `origin` onto the
    // marker plane and takes the one marker of the grid within minSpacing * matchRadiusFactor
    // of the hit (-2 for none or several, also for a ray parallel to the plane). Rays that
    // land on the same marker are all set to -1.
    std::vector<MarkerIndex> matchNearPosition(const std::vector<Vec3f>& rays, const Vec3f& origin) const;

    // IEnvironment, forwarding to the operations above.
    ResultCode KESTREL_CALL isAdaptive(Boolean* adaptive) override;
    ResultCode KESTREL_CALL markerPositions(OutArray* positions) override;
    ResultCode KESTREL_CALL acceptRay(const Vec3f* up, const Vec3f* ray, Boolean* accepted) override;
    ResultCode KESTREL_CALL matchRays(InArray* rays, Boolean* found, OutArray* indices, Pose* pose) override;
    ResultCode KESTREL_CALL matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) override;

    const float barLength;    // metres between the end markers of a bar
    const float middleRatio;  // middle marker's distance from the first end, fraction of barLength
    // Marker positions along the bar's axis, centred: first end, middle, other end.
    const float barMarkerX[3];

    BarDetectionHook barDetectionHook;
    // Cleared whenever matchRays is called through IEnvironment; set when that run served
    // barDetectionHook.
    std::atomic<uint8_t> barDetectionServed{0};

    MarkerGrid markerGrid;

protected:
    // Serves barDetectionHook if requested and notes it in barDetectionServed.
    void serveBarDetection(const std::vector<Vec2f>& points, const std::vector<Bar>& bars, const Vec3f& shape, float scale);
};

// The native object behind an environment reference of this module, or null.
OrbEnvironment* nativeEnvironment(IEnvironment* environment);

} // namespace Kestrel::Orb::Tracking
