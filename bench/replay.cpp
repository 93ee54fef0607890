// The program's replay of a recording, measured on a recording given on the command line (made
// with `orbtool record` of the simulator's default floor):
//
//     build/bin/orbtool record --node 2 --task tracking --seconds 600 --out /tmp/ten.orbrec
//     build/bench/bench_replay /tmp/ten.orbrec
//
// prints the time to open it (read, check, and work out its frames), the memory it takes, the
// time from "one frame back" to the task having run that frame again (the task restarted as a
// viewer restarts it, polling every 17 ms, with the tracking pipeline on the default floor) for
// frames 10 s and 60 s into the recording, and the process CPU while it plays at 1x into the
// pipeline.

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "interface_contract/Remap.h"
#include "recording/RecordingReader.h"
#include "recording/ReplayNetwork.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

namespace {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using Clock = std::chrono::steady_clock;

const char defaultFloor[] = "AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==";

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The viewer's side: a tracking task on the replay's node, started again whenever the replay
// ends it (checked every 17 ms, as the viewer's tick does).
class Viewer {
public:
    explicit Viewer(Recording::ReplayNetwork& replay) : replay_(replay), thread_([this] { run(); }) {}
    ~Viewer() {
        stop_ = true;
        thread_.join();
    }

private:
    void start() {
        auto network = Ref<DeviceNetwork::INodeNetwork>::share(&replay_);
        cotask_ = makeInterfaced<Orb::Tracking::OrbTracking, Orb::Tracking::ITrackingCotask>(
            network, replay_.trackerNode(), Orb::Tracking::createEnvironment(defaultFloor));
        if (!Orb::Tracking::startTrackingTask(replay_, replay_.trackerNode(), *static_cast<Orb::Tracking::OrbTracking*>(cotask_.get())))
            cotask_.reset();
    }
    void run() {
        start();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(17));
            Boolean finished = BooleanFalse;
            if (cotask_ && cotask_->isFinished(&finished) == S_OK_CODE && finished) {
                cotask_.reset();
                start();
            }
        }
        cotask_.reset();
    }

    Recording::ReplayNetwork& replay_;
    std::atomic<bool> stop_{false};
    Ref<Orb::Tracking::ITrackingCotask> cotask_;
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_replay FILE.orbrec\n");
        return 2;
    }
    const double rssBefore = residentMb();
    auto opening = Clock::now();
    const double cpuOpening = processCpuSeconds();
    auto recording = std::make_shared<const Recording::Recording>(Recording::readRecordingFile(argv[1]));
    auto replay = makeInterfaced<Recording::ReplayNetwork, Recording::ReplayNetwork>(recording, 1, true);
    const double openSeconds = since(opening), openCpu = processCpuSeconds() - cpuOpening;
    const Recording::ReplaySchedule& schedule = replay->player().schedule();
    std::printf("open: %.3f s (%.3f s of CPU) for %.1f s of recording, %zu records, %zu frames; resident memory +%.1f MB\n",
                openSeconds, openCpu, schedule.duration(), recording->records.size(), schedule.frameCount(), residentMb() - rssBefore);

    Recording::ReplayPlayer& player = replay->player();
    player.startClock();
    {
        Viewer viewer(*replay.get());
        while (player.status().sessions == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (double seconds : {10.0, 60.0}) {
            if (seconds >= schedule.duration())
                continue;
            const long frame = schedule.frameAt(schedule.positionAfter(seconds));
            player.seekFrame(frame + 1);
            player.waitUntilSettled(600);
            const auto back = Clock::now();
            player.stepBack();
            player.waitUntilSettled(600);
            const double took = since(back);
            const auto status = player.status();
            std::printf("one frame back to frame %ld (%.1f s in): %.3f s until that frame has run again (now at frame %ld, %llu restarts)\n",
                        frame, seconds, took, status.frame, (unsigned long long)status.restarts);
        }

        player.seekFrame(0);
        player.waitUntilSettled(600);
        player.setRate(1);
        const double cpu = processCpuSeconds();
        const auto playing = Clock::now();
        player.play();
        double peak = 0;
        while (since(playing) < 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            peak = std::max(peak, residentMb());
        }
        player.pause();
        std::printf("playing at 1x for 10 s into the pipeline: process CPU %.1f %% of one core, resident memory at most %.1f MB (%.1f MB before opening)\n",
                    100 * (processCpuSeconds() - cpu) / since(playing), peak, rssBefore);
    }
    player.close();
    return 0;
}
