#pragma once
// The figures of a tracking session's health, as plain values: what SessionHealth::snapshot()
// returns and what the findings, the viewer and `orbtool health` read. Times are seconds of
// the session's clock from the first optical frame unless a name says otherwise; positions are
// metres in environment coordinates (y up); image points are normalized image coordinates (the
// unit disk is the edge of the camera model's domain).

#include <cstdint>
#include <string>
#include <vector>

namespace Kestrel::Orb::Tracking::Health {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

struct OpticalFigures {
    int64_t frames = 0;            // optical frames received
    double frameRate = 0;          // frames per second of session time
    double intervalMs = 0;         // the usual frame interval, measured in inertial samples
    double intervalJitterMs = 0;   // standard deviation of the intervals that lost no frame
    int64_t lostFrames = 0;        // frames missing from the sequence (intervals of several)
    double lostShare = 0;          // lostFrames / (frames + lostFrames)
    int64_t invalidSequences = 0;  // "Invalid stream sequence" events
    double pointsPerFrame = 0;     // points received per frame (all, before any filter)
    double raysPerFrame = 0;       // points within the field of view per frame
    double meanBlobValue = 0;      // decoded blob value, mean over all points
    double maximumBlobValue = 0;
    double matchedBlobValue = 0;   // mean value of the rays matched to markers in 6DoF
    int64_t saturatedBlobs = 0;    // points at the top of the value scale
    double saturatedShare = 0;     // saturatedBlobs / points
};

struct InertialFigures {
    int64_t gyroscopeSamples = 0;
    int64_t accelerometerSamples = 0;
    double gyroscopeRate = 0;       // samples per second of session time
    double accelerometerRate = 0;
    int64_t gaps = 0;               // runs of frame intervals that lacked inertial samples
    int64_t missingSamples = 0;     // gyroscope samples those runs lacked
    double longestGapMs = 0;
    int64_t overflows = 0;          // gyroscope samples with a saturated axis
    bool hasTemperature = false;
    double temperature = 0;         // degrees Celsius, the latest
    double temperatureMin = 0, temperatureMax = 0;
};

// One marker of the environment, counted over the frames in which the tracking was in 6DoF.
struct MarkerFigures {
    int32_t index = 0;
    Point3 position;
    int64_t framesInView = 0;   // frames whose tracked pose put it well inside the field of view
    int64_t framesMatched = 0;  // of those, frames in which a ray was matched to it
    double matchRate = 0;       // framesMatched / framesInView (0 when never in view)
    int32_t tileColumn = -1, tileRow = -1;  // the tile its bar sits on; -1 when the layout has no tiles
};

// A place where unmatched blobs keep appearing: a light that is not a marker.
struct StraySource {
    Point3 position;             // where the blobs' rays meet the marker plane (mean)
    bool triangulated = false;   // position is instead the point nearest all its rays
    Point3 triangulatedPosition; // valid when triangulated
    int64_t hits = 0;            // unmatched rays assigned to it
    int64_t frames = 0;          // distinct 6DoF frames with at least one of them
    double frameShare = 0;       // of the 6DoF frames that had its place in view, the share that saw it
    int64_t framesInView = 0;    // 6DoF frames that had its place in view (counted once it was found)
    double meanValue = 0;        // mean blob value of its rays
    double imageX = 0, imageY = 0;  // mean image point of its rays
    int32_t nearMarker = -1;     // a marker within the clustering radius: unmatched blobs of that marker
};

// Counts of unmatched blobs over the image, `size` by `size` cells over [-1, 1]^2, row-major
// from (-1, -1); counts[row * size + column].
struct ImageHeatMap {
    int size = 0;
    std::vector<uint32_t> counts;
};

struct PipelineFigures {
    double stageSeconds[4] = {0, 0, 0, 0};  // session time spent in each tracking stage
    double timeTo6Dof = -1;                  // from the first frame; -1: never
    int64_t blindEpisodes = 0;               // 6DoF left for blind 6DoF (optimisation failed)
    int64_t losses = 0;                      // tracking fell back to 3DoF after 6DoF
    int64_t lossesInView = 0;                // of those, losses whose last 6DoF frame had markers well in view
    int64_t reidentifications = 0;           // 6DoF regained after a loss
    int64_t batches = 0;                     // optimiser batches
    int64_t optimizations = 0;               // batches whose newest frame had a matched ray
    int64_t failures = 0;                    // of those, batches whose optimisation failed
    int64_t sixDofFrames = 0;                // frames whose batch ended in 6DoF
    double meanQuality = 0;                  // over successful batches
    double lowQuality = 0;                   // 5th percentile over successful batches
    double matchingMs = 0;                   // mean per batch
    double optimizingMs = 0;                 // mean per batch
    double matchedRaysPerFrame = 0;          // in 6DoF frames
    double unmatchedRaysPerFrame = 0;        // in 6DoF frames
};

struct LagFigures {
    bool found = false;
    double milliseconds = 0;  // positive: the inertial samples come late
    double correlation = 0;
    int64_t pairs = 0;        // frame pairs behind the estimate
    int segments = 0;         // stretches of the session whose motion allowed an estimate
};

// One time window of the session.
struct HealthWindow {
    double start = 0;
    double duration = 0;
    int64_t frames = 0;
    int64_t lostFrames = 0;
    double pointsPerFrame = 0;
    double meanBlobValue = 0;
    int64_t saturatedBlobs = 0;
    int64_t gyroscopeSamples = 0;
    int64_t missingSamples = 0;
    double temperature = 0;      // the latest in the window (0 when none yet)
    int32_t stage = 0;           // the stage at the window's last frame
    double meanQuality = 0;      // over successful batches of the window
    int64_t failures = 0;
    double matchedRaysPerFrame = 0;
    double unmatchedRaysPerFrame = 0;
};

enum class FindingKind : int32_t {
    LostFrames,
    FrameJitter,
    InertialGaps,
    GyroscopeOverflow,
    SaturatedBlobs,
    DimBlobs,
    MarkerRarelyMatched,
    StrayLight,
    TrackingLost,
    No6Dof,
    OptimizerFailures,
    InertialLag,
};

// "LostFrames", "FrameJitter", ... (the enumerator's name).
const char* findingKindName(FindingKind kind);

struct Finding {
    FindingKind kind = FindingKind::LostFrames;
    std::string text;        // the finding in plain words, with its figure
    std::string evidence;    // the figures behind it
    std::string suggestion;  // what to check or do
    double value = 0;        // the figure the finding names (a share, a time, a count)
    int32_t marker = -1;     // MarkerRarelyMatched: the marker's index
    bool hasPosition = false;
    Point3 position;         // StrayLight: the source; MarkerRarelyMatched: the marker
};

struct HealthReport {
    double seconds = 0;       // session time covered, first frame to last event
    double windowSeconds = 0; // length of each window
    OpticalFigures optical;
    InertialFigures inertial;
    std::vector<MarkerFigures> markers;
    std::vector<StraySource> straySources;  // most frames first
    ImageHeatMap strayImage;
    PipelineFigures pipeline;
    LagFigures lag;
    std::vector<HealthWindow> windows;
    std::vector<Finding> findings;
};

} // namespace Kestrel::Orb::Tracking::Health
