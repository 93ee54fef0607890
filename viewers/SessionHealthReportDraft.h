#pragma once
// Stand-in for the health analysis' report until that library lands: the fields the Session
// Health viewer shows. Replaced by the analysis' own header.

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace Kestrel::Orb::Tracking {
class OrbTracking;
}

namespace SessionHealthDraft {

struct Finding {
    std::string text;        // what was seen, in plain words
    std::string evidence;    // the figures behind it
    std::string suggestion;  // what to check or do
};

// One time window of the session.
struct Window {
    double startSeconds = 0;
    double frameRate = 0;          // optical frames per second
    double lostFramePercent = 0;
    double pointsPerFrame = 0;
    double matchedPercent = 0;     // markers matched of those in view
    double inertialRate = 0;       // inertial samples per second
    double quality = 0;            // the optimiser's quality value
};

struct Marker {
    int id = 0;
    std::array<float, 3> position{};  // room, metres
    int framesInView = 0;
    int framesMatched = 0;
};

struct StraySource {
    std::array<float, 3> position{};  // room, metres
    int frames = 0;
    bool steady = true;
};

struct Report {
    double seconds = 0;  // session length so far
    int opticalFrames = 0;
    double frameRate = 0;
    double frameIntervalJitterMs = 0;
    int lostFrames = 0;
    double pointsPerFrame = 0;
    int saturatedBlobs = 0;
    double inertialRate = 0;
    int inertialGaps = 0;
    double temperature = 0;
    int trackingLost = 0;
    double secondsTo6Dof = -1;  // negative: not reached
    double lagMs = 0;
    bool lagKnown = false;
    std::vector<Window> windows;
    std::vector<Marker> markers;
    // Stray blobs in the image, counted on a grid of columns x rows over the image.
    int heatColumns = 0, heatRows = 0;
    std::vector<int> strayHeat;
    std::vector<StraySource> straySources;
    std::vector<Finding> findings;
};

} // namespace SessionHealthDraft
