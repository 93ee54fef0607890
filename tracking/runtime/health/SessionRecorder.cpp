#include "tracking/runtime/health/SessionRecorder.h"

#include <algorithm>
#include <cmath>

#include "tracking/runtime/optimizer/PoseResidual.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {

constexpr std::size_t maximumWindows = 4 * 3600;   // beyond this the last window keeps counting
constexpr std::size_t maximumQualities = 1 << 21;  // quality values kept for the percentile

using Vec3 = KestrelMath::vector<float, 3>;

Point3 point3(const Vec3& v) { return {double(v[0]), double(v[1]), double(v[2])}; }

} // namespace

SessionRecorder::SessionRecorder(const HealthSettings& settings)
    : settings_(settings), strays_(settings.strayClusterRadius),
      lag_(settings.gyroscopeRate, settings.lagSegmentSeconds, settings.lagCorrelation) {
    heatMap_.size = std::max(1, settings.strayHeatMapSize);
    heatMap_.counts.assign(std::size_t(heatMap_.size * heatMap_.size), 0);
}

void SessionRecorder::cameraDescribed(const CameraView& view) {
    view_ = ViewTest(view, settings_.inViewRadiusShare);
    lag_.setXi(view.xi);
}

SessionRecorder::Window& SessionRecorder::window() {
    if (windows_.empty())
        enterWindow(lastTime_);
    return windows_.back();
}

void SessionRecorder::enterWindow(double time) {
    const double w = settings_.windowSeconds > 0 ? settings_.windowSeconds : 1.0;
    const double index = std::floor((time - startTime_) / w);
    while (windows_.size() < maximumWindows && double(windows_.size()) <= index) {
        Window next;
        next.figures.start = double(windows_.size()) * w;
        next.figures.duration = w;
        if (!windows_.empty()) {
            next.figures.temperature = windows_.back().figures.temperature;
            next.figures.stage = windows_.back().figures.stage;
        }
        windows_.push_back(next);
    }
}

void SessionRecorder::frameBegan(double time, int32_t stage) {
    if (!started_) {
        started_ = true;
        startTime_ = lastTime_ = time;
    } else if (lastStage_ >= 0 && lastStage_ < 4) {
        pipeline_.stageSeconds[lastStage_] += std::max(0.0, time - lastTime_);
    }
    lastTime_ = std::max(lastTime_, time);
    enterWindow(time);
    Window& w = window();
    if (frames_ > 0) {
        const FrameIntervals::Outcome outcome = intervals_.add(samplesSinceFrame_);
        w.figures.lostFrames += outcome.lostFrames;
        w.figures.missingSamples += outcome.missingSamples;
    }
    samplesSinceFrame_ = 0;
    ++frames_;
    ++w.figures.frames;
    w.figures.stage = stage;

    const bool sixDof = stage == 2;
    if (sixDof && pipeline_.timeTo6Dof < 0)
        pipeline_.timeTo6Dof = time - startTime_;
    if (lastStage_ == 2 && stage != 2) {
        blindInView_ = lastInView_;
        pipeline_.blindEpisodes += stage == 3;
    }
    if (was6Dof_ && stage == 1 && lastStage_ != 1) {
        ++pipeline_.losses;
        pipeline_.lossesInView += blindInView_ >= settings_.lossMarkersInView;
        lost_ = true;
    }
    if (sixDof && lost_) {
        ++pipeline_.reidentifications;
        lost_ = false;
    }
    was6Dof_ = was6Dof_ || sixDof;
    lastStage_ = stage;
    lag_.frameBegan();
}

void SessionRecorder::pointReceived(float x, float y, int32_t value, bool inView) {
    ++points_;
    valueSum_ += value;
    valueMax_ = std::max(valueMax_, double(value));
    const bool saturated = value >= settings_.saturatedValue;
    saturated_ += saturated;
    Window& w = window();
    ++w.points;
    w.valueSum += value;
    w.figures.saturatedBlobs += saturated;
    if (inView) {
        ++inViewPoints_;
        lag_.point(x, y);
    }
}

void SessionRecorder::gyroscopeSample(const KestrelMath::vector3<float>& rotation, bool overflow) {
    ++gyroscopeSamples_;
    ++samplesSinceFrame_;
    overflows_ += overflow;
    ++window().figures.gyroscopeSamples;
    lag_.gyroscope(rotation);
}

void SessionRecorder::temperature(float celsius) {
    const double t = celsius;
    temperatureMin_ = hasTemperature_ ? std::min(temperatureMin_, t) : t;
    temperatureMax_ = hasTemperature_ ? std::max(temperatureMax_, t) : t;
    temperature_ = t;
    hasTemperature_ = true;
    window().figures.temperature = t;
}

void SessionRecorder::invalidSequence() { ++invalidSequences_; }

void SessionRecorder::batchProcessed(const BatchObservation& batch) {
    if (!batch.newest || !batch.state || !batch.markers)
        return;
    ++pipeline_.batches;
    matchingSeconds_ += batch.matchingSeconds;
    optimizingSeconds_ += batch.optimizingSeconds;
    const std::size_t markerCount = batch.markers->size();
    const bool anyMatched = std::any_of(batch.newest->rays.begin(), batch.newest->rays.end(),
                                        [&](const Ray& r) { return isMarker(r.markerIndex, markerCount); });
    Window& w = window();
    if (anyMatched) {
        ++pipeline_.optimizations;
        if (!batch.ok) {
            ++pipeline_.failures;
            ++w.figures.failures;
        }
    }
    if (!batch.ok)
        return;
    ++batchFrame_;
    ++pipeline_.sixDofFrames;
    qualitySum_ += batch.quality;
    if (qualities_.size() < maximumQualities)
        qualities_.push_back(batch.quality);
    ++w.okBatches;
    w.qualitySum += batch.quality;
    ++w.sixDofFrames;
    markersOf(batch);
    straysOf(batch);
}

void SessionRecorder::markersOf(const BatchObservation& batch) {
    const auto& markers = *batch.markers;
    const std::size_t n = markers.size();
    if (markers_.size() != n) {
        markers_.resize(n);
        for (std::size_t k = 0; k < n; ++k)
            markers_[k].index = int32_t(k);
    }
    matchedNow_.assign(n, 0);
    Window& w = window();
    for (const Ray& ray : batch.newest->rays) {
        if (isMarker(ray.markerIndex, n)) {
            matchedNow_[std::size_t(ray.markerIndex)] = 1;
            ++matchedRays_;
            ++w.matchedRays;
            matchedValueSum_ += double(ray.value) * 256.0;
        }
    }
    const OptimizerState& pose = *batch.state;
    const Vec3 camera = pose.position + pose.rotation.rotate(Vec3{{0.0f, 0.0f, float(cameraOffset)}});
    const auto toCamera = pose.rotation.conjugate();
    double ySum = 0;
    lastInView_ = 0;
    for (std::size_t k = 0; k < n; ++k) {
        MarkerFigures& m = markers_[k];
        m.position = point3(markers[k]);
        ySum += m.position.y;
        const Vec3 d = toCamera.rotate(markers[k] - camera);
        if (!view_.inView(d[0], d[1], d[2]))
            continue;
        ++m.framesInView;
        ++lastInView_;
        m.framesMatched += matchedNow_[k];
    }
    planeY_ = n ? ySum / double(n) : 0.0;
}

void SessionRecorder::straysOf(const BatchObservation& batch) {
    const std::size_t n = batch.markers->size();
    const OptimizerState& pose = *batch.state;
    const Vec3 camera = pose.position + pose.rotation.rotate(Vec3{{0.0f, 0.0f, float(cameraOffset)}});
    const Point3 c = point3(camera);
    Window& w = window();
    for (const Ray& ray : batch.newest->rays) {
        if (isMarker(ray.markerIndex, n))
            continue;
        ++unmatchedRays_;
        ++w.unmatchedRays;
        strays_.add(batchFrame_, c, point3(pose.rotation.rotate(ray.direction)), planeY_, double(ray.value) * 256.0,
                    ray.point[0], ray.point[1]);
        const int size = heatMap_.size;
        const int column = int(std::floor((double(ray.point[0]) + 1.0) * 0.5 * size));
        const int row = int(std::floor((double(ray.point[1]) + 1.0) * 0.5 * size));
        if (column >= 0 && column < size && row >= 0 && row < size)
            ++heatMap_.counts[std::size_t(row * size + column)];
    }
    const auto toCamera = pose.rotation.conjugate();
    strays_.countInView(batchFrame_, [&](const Point3& p) {
        const Vec3 d = toCamera.rotate(Vec3{{float(p.x), float(p.y), float(p.z)}} - camera);
        return view_.inView(d[0], d[1], d[2]);
    });
}

HealthReport SessionRecorder::report() const {
    HealthReport r;
    r.windowSeconds = settings_.windowSeconds;
    r.seconds = lastTime_ - startTime_;
    const double seconds = r.seconds > 0 ? r.seconds : NAN;
    const double sampleMs = 1000.0 / settings_.gyroscopeRate;

    OpticalFigures& o = r.optical;
    o.frames = frames_;
    o.frameRate = frames_ > 1 ? double(frames_ - 1) / seconds : 0.0;
    o.intervalMs = intervals_.mean() * sampleMs;
    o.intervalJitterMs = intervals_.deviation() * sampleMs;
    o.lostFrames = intervals_.lostFrames();
    o.lostShare = frames_ + o.lostFrames > 0 ? double(o.lostFrames) / double(frames_ + o.lostFrames) : 0.0;
    o.invalidSequences = invalidSequences_;
    o.pointsPerFrame = frames_ ? double(points_) / double(frames_) : 0.0;
    o.raysPerFrame = frames_ ? double(inViewPoints_) / double(frames_) : 0.0;
    o.meanBlobValue = points_ ? valueSum_ / double(points_) : 0.0;
    o.maximumBlobValue = valueMax_;
    o.matchedBlobValue = matchedRays_ ? matchedValueSum_ / double(matchedRays_) : 0.0;
    o.saturatedBlobs = saturated_;
    o.saturatedShare = points_ ? double(saturated_) / double(points_) : 0.0;

    InertialFigures& i = r.inertial;
    i.gyroscopeSamples = gyroscopeSamples_;
    i.accelerometerSamples = accelerometerSamples_;
    i.gyroscopeRate = r.seconds > 0 ? double(gyroscopeSamples_) / seconds : 0.0;
    i.accelerometerRate = r.seconds > 0 ? double(accelerometerSamples_) / seconds : 0.0;
    i.gaps = intervals_.gaps();
    i.missingSamples = intervals_.missingSamples();
    i.longestGapMs = double(intervals_.longestGapSamples()) * sampleMs;
    i.overflows = overflows_;
    i.hasTemperature = hasTemperature_;
    i.temperature = temperature_;
    i.temperatureMin = temperatureMin_;
    i.temperatureMax = temperatureMax_;

    r.markers = markers_;
    for (MarkerFigures& m : r.markers)
        m.matchRate = m.framesInView ? double(m.framesMatched) / double(m.framesInView) : 0.0;
    std::vector<Point3> markerPoints;
    for (const MarkerFigures& m : markers_)
        markerPoints.push_back(m.position);
    r.straySources = strays_.sources(StrayClusters::candidateHits, markerPoints);
    r.strayImage = heatMap_;

    PipelineFigures& p = r.pipeline;
    p = pipeline_;
    if (p.sixDofFrames > 0) {
        p.meanQuality = qualitySum_ / double(p.sixDofFrames);
        std::vector<float> q = qualities_;
        const std::size_t k = q.size() / 20;
        std::nth_element(q.begin(), q.begin() + std::ptrdiff_t(k), q.end());
        p.lowQuality = q[k];
        p.matchedRaysPerFrame = double(matchedRays_) / double(p.sixDofFrames);
        p.unmatchedRaysPerFrame = double(unmatchedRays_) / double(p.sixDofFrames);
    }
    if (p.batches > 0) {
        p.matchingMs = 1000.0 * matchingSeconds_ / double(p.batches);
        p.optimizingMs = 1000.0 * optimizingSeconds_ / double(p.batches);
    }
    r.lag = lag_.figures();

    for (std::size_t k = 0; k < windows_.size(); ++k) {
        const Window& w = windows_[k];
        HealthWindow f = w.figures;
        if (k + 1 == windows_.size())
            f.duration = std::max(0.0, std::min(f.duration, r.seconds - f.start));
        f.pointsPerFrame = f.frames ? double(w.points) / double(f.frames) : 0.0;
        f.meanBlobValue = w.points ? w.valueSum / double(w.points) : 0.0;
        f.meanQuality = w.okBatches ? w.qualitySum / double(w.okBatches) : 0.0;
        f.matchedRaysPerFrame = w.sixDofFrames ? double(w.matchedRays) / double(w.sixDofFrames) : 0.0;
        f.unmatchedRaysPerFrame = w.sixDofFrames ? double(w.unmatchedRays) / double(w.sixDofFrames) : 0.0;
        r.windows.push_back(f);
    }
    return r;
}

} // namespace Kestrel::Orb::Tracking::Health
