#pragma once
// A floor or ceiling of square tiles, some carrying one bar each, turned by quarter turns.
// The place is recognised from the pattern of the tiles and turns that one frame shows.
//
// Decisions of matchRays (the rest follows the algorithm in the .cpp):
// - At most 128 rays take part in bar detection, those nearest the optical axis (ties: the
//   earlier ray); every ray still gets its marker once a group decides. At most 64 detected
//   bars take part (the first 64 in detector order).
// - Every call works within a MatchBudget: bar detection, the enumeration of groups, every
//   group tried and its pattern subsets charge their work first, and a frame whose work the
//   budget cannot pay is not identified. The costliest identified frame of the identification
//   tests uses three quarters of it.
// - Groups (maximal sets of pairwise compatible bars) are tried with more bars first, then the
//   smaller length spread (longest / shortest image length), then the lower bar numbers.
// - Group estimate: the group's markers in the camera frame (solveBar distances times rays)
//   get a least-squares plane (normal = eigenvector of the smallest eigenvalue of their
//   scatter); the height is the camera's distance from it. The rotation levels that normal
//   (onto +y for a floor, -y for a ceiling, by the shortest turn) and then turns about it so
//   that the mean quarter-turn direction of the levelled bars lies at barAngle, which makes the
//   estimate's axes those of the tile grid. A group whose markers lie on one line (scatter
//   second eigenvalue below 1e-3 of the largest) does not fix the plane and is skipped.
// - Reference bar: the bar whose rays are nearest the direction from the camera straight
//   towards the marker plane.
// - Robustness against triples of markers of different bars that the detector takes for a
//   bar: a bar whose markers lie more than 5 cm rms off the plane of the group's markers is
//   dropped and the plane fitted again; a bar whose plane points lie more than 0.1 tile edges
//   rms from the template around its own tile centre is dropped before the offsets are taken.
// - A group none of whose subsets is in the index passes to the next group (each group that
//   does match is checked on its own below); the measurements behind this are at the top of
//   the .cpp.
// - Perspective bends the image lengths and directions that form the groups, so bars of one
//   view often fall into several small groups whose patterns alone are ambiguous. When no
//   group decides (passes the fit test and finds a pattern), each group is tried again
//   widened: its estimate places every detected bar in the marker plane, every bar that keeps
//   the template's shape there joins (of two bars sharing a point, the better fitting), and
//   the plane is fitted again.
// - The detector's middle-marker ratio and neighbour ellipse hold for a camera looking
//   straight at the plane; a tilted view of long bars loses them. While no group has decided,
//   the rays are tried again as a camera turned by 15 degrees (6 directions) and by 30
//   degrees (10 directions) would see them, the first decision taken and a match turned back.
//   Only the first look serves the bar detection hook.
// - Beyond the described checks, a match is only reported when every bar of the group lands
//   on an occupied tile with the matching turn; the pose is then refined by least squares over
//   the group's rays and their markers, every group ray must meet the marker plane within the
//   match radius of its marker and point at it within 5 mrad; at least half of all rays must
//   get a marker, and after a second refinement over all matched rays each of them must point
//   at its marker within 5 mrad. Otherwise the frame is not identified.
// - A further ray (not of the group) that lands within the match radius of a marker but points
//   more than 10 mrad from it at the group's pose is left unmatched: another light near a
//   marker out of view (a lamp, a reflection). The frame is only identified while the further
//   rays that point at their markers outnumber those left so; at a wrong place most do not.
// - The position before refinement is the mean over the group's markers of (marker - turned
//   plane point).

#include <array>
#include <cstdint>
#include <vector>

#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/MatchBudget.h"
#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/OrbEnvironmentRigidField.h"
#include "tracking/environments/RigidPatternIndex.h"

namespace Kestrel::Orb::Tracking {

// The pose estimate of one group of bars.
struct HomographyTransform {
    Quatf rotation;       // estimate frame <- camera frame; its axes are the tile grid's up to a quarter turn
    float plane[3];       // [0] 0, [1] the camera's height above the marker plane, [2] the mean quarter-turn angle (radians)
};

using TileOffsetsHook = DebugHook<const std::vector<Vec2f>&, float>;
using GroupPoseHook = DebugHook<const HomographyTransform&, const std::vector<Vec3f>&, const std::vector<Vec3f>&,
                                const std::vector<Bar>&, const std::vector<std::size_t>&>;

class OrbEnvironmentRigid final : public OrbEnvironment {
public:
    explicit OrbEnvironmentRigid(const RigidParameters& parameters);
    using OrbEnvironment::acceptRay;
    using OrbEnvironment::markerPositions;
    using OrbEnvironment::matchRays;

    // Within a fresh MatchBudget.
    bool matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) override;
    // Within `budget`, which tells afterwards what the frame cost and whether it gave up.
    bool matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose, MatchBudget& budget);
    std::vector<Vec3f> markerPositions() const override;
    bool acceptRay(const Vec3f& up, const Vec3f& ray) const override;
    bool hasBounds() const override { return true; }
    int boundsCornerCount() const override { return 4; }
    Vec2f boundsCorner(int corner) const override;

    const float tileSize;
    const float barAngle;
    const Vec2f gridCentre;
    std::array<std::array<Vec2f, 3>, 4> barTemplate;  // [orientation][marker], tile centred at the origin
    Vec2f tileCentreInBar;                            // (along, across) in the orientation-0 bar's frame
    // The code's tiles in code order, less every entry that a later entry for the same cell
    // replaces: only the later entry's bar exists (its markers are 3 t + k by its place here).
    std::vector<RigidTile> tiles;
    OrbEnvironmentRigidField tileMap;
    RigidPatternIndex patternIndex;
    unsigned minBars = 0;
    Vec3f detectorShape;
    static constexpr float detectorScale = 0.75f;

    TileOffsetsHook tileOffsetsHook;
    GroupPoseHook groupPoseHook;

private:
    std::vector<Vec3f> markers_;  // markerPositions(), kept for matching
    enum class GroupResult { skipped, notFound, found };
    // matchRays on rays as one camera orientation sees them; `served` lets this look serve the
    // bar detection hook. skipped: no group decided.
    // notFound also when the budget ran out.
    GroupResult matchRaysSeenFrom(const std::vector<Vec3f>& rays, bool served, MatchBudget& budget,
                                  std::vector<MarkerIndex>& indices, Pose& pose);
    GroupResult tryGroup(const std::vector<Vec3f>& rays, const std::vector<Bar>& bars,
                         const std::vector<std::size_t>& seenGroup, const std::vector<Vec3f>& distances,
                         bool widen, MatchBudget& budget, std::vector<MarkerIndex>& indices, Pose& pose);
};

} // namespace Kestrel::Orb::Tracking
