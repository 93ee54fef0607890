// The main window's frame interval while the viewers work: the real window (QML, viewers,
// engine) at 1280 x 800, asked to draw continuously; the time between two finished frames is
// printed as p50, p99 and max. Run under Xvfb:
//
//   xvfb-run -a -s "-screen 0 1280x800x24" bench/bench_main_window_frames pages [seconds per page] [pages]
//       Tracking Debug on a still tracker of the simulated network (real-time clock), every
//       page in turn (or the pages listed by index, e.g. 0,1,9); then how long the page menu
//       takes to open on "User" and on "Visual position" (with a list, only when it holds "menu").
//   ... bench_main_window_frames shot page seconds file.png
//       the window with Tracking Debug on that page (by index) after that many seconds.
//   ... bench_main_window_frames image [seconds]
//       the Image viewer with "auto image" on, against the tests' fake network whose device
//       takes requests and never answers.
//   ... bench_main_window_frames latency [seconds] [report every seconds]
//       a Gyroscope Latency recording of that length on the simulated network, figures per
//       period, and the frame that shows the end of the recording.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakeNetwork.h"
#include "TrackingDebugSimulation.h"
#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"
#include "device_network/NetworkHolder.h"
#include "engine/Viewport.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"

namespace {

using Clock = std::chrono::steady_clock;

// Finished frames of the window; each asks for the next one, so the window draws all the time
// the GUI thread lets it.
class FrameClock {
public:
    explicit FrameClock(QQuickWindow& window) {
        QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [this, &window] {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                times_.push_back(Clock::now());
            }
            QMetaObject::invokeMethod(&window, "update", Qt::QueuedConnection);
        }, Qt::DirectConnection);
        window.update();
    }
    void restart() {
        std::lock_guard<std::mutex> lock(mutex_);
        times_.clear();
    }
    // Intervals in milliseconds since the last restart.
    std::vector<double> intervals() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<double> result;
        for (std::size_t i = 1; i < times_.size(); ++i)
            result.push_back(std::chrono::duration<double, std::milli>(times_[i] - times_[i - 1]).count());
        return result;
    }

    // Intervals longer than `ms`, each as (seconds from `origin` to its start, milliseconds).
    std::vector<std::pair<double, double>> longIntervals(double ms, Clock::time_point origin) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::pair<double, double>> result;
        for (std::size_t i = 1; i < times_.size(); ++i) {
            const double interval = std::chrono::duration<double, std::milli>(times_[i] - times_[i - 1]).count();
            if (interval > ms)
                result.emplace_back(std::chrono::duration<double>(times_[i - 1] - origin).count(), interval);
        }
        return result;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> times_;
};

// CPU seconds used by the whole process (every thread: GUI, render, the software rasteriser's,
// the simulator's) so far.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// CPU seconds used so far by each named group of the process's threads (threads of one name,
// such as the software rasteriser's "llvmpipe-0" and "llvmpipe-1", count apart).
std::map<std::string, double> threadCpuSeconds() {
    std::map<std::string, double> result;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream stat("/proc/self/task/" + task.toStdString() + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stod(field);
            if (i == 15)
                stime = std::stod(field);
        }
        result[line.substr(open + 1, close - open - 1)] += (utime + stime) / tick;
    }
    return result;
}

// Frame intervals, and the process's CPU time per frame when `cpuSeconds` is given: unlike the
// intervals, that figure changes little with the machine's load.
void report(const char* what, std::vector<double> ms, double cpuSeconds = -1, int paints = -1) {
    if (ms.empty()) {
        std::printf("%-28s no frames\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))]; };
    std::printf("%-28s frames %6zu  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms", what, ms.size(), at(0.5), at(0.99),
                ms.back());
    if (cpuSeconds >= 0)
        std::printf("  cpu/frame %6.1f ms", 1000 * cpuSeconds / double(ms.size() + 1));
    if (paints >= 0)
        std::printf("  3D paints %5d", paints);
    std::printf("\n");
    std::fflush(stdout);
}

// `viewport`, when given: how many times the viewer's 3D view was painted meanwhile.
void measure(FrameClock& frames, const char* what, int milliseconds,
             const KestrelQt3DEngine::Viewport* viewport = nullptr) {
    frames.restart();
    const int paintsAtStart = viewport ? viewport->paintCount() : 0;
    const double cpuAtStart = processCpuSeconds();
    const std::map<std::string, double> threadsAtStart = threadCpuSeconds();
    QTest::qWait(milliseconds);
    const double cpu = processCpuSeconds() - cpuAtStart;
    const std::vector<double> intervals = frames.intervals();
    report(what, intervals, cpu, viewport ? viewport->paintCount() - paintsAtStart : -1);
    // Where the CPU went: each thread group's share per frame, the busiest first.
    std::vector<std::pair<double, std::string>> threads;
    for (const auto& [name, seconds] : threadCpuSeconds()) {
        const auto before = threadsAtStart.find(name);
        threads.emplace_back(seconds - (before == threadsAtStart.end() ? 0 : before->second), name);
    }
    std::sort(threads.rbegin(), threads.rend());
    std::printf("    cpu/frame by thread:");
    for (std::size_t i = 0; i < threads.size() && i < 6 && threads[i].first > 0; ++i)
        std::printf(" %s %.1f ms", threads[i].second.c_str(), 1000 * threads[i].first / double(intervals.size() + 1));
    std::printf("\n");
}

const KestrelQt3DEngine::Viewport* viewportOf(QObject* viewerItem) {
    return qobject_cast<KestrelQt3DEngine::Viewport*>(viewerItem->property("viewport").value<QObject*>());
}

struct Window {
    Window() {
        OrbDebug::setApplicationNames();
        OrbDebug::registerQmlTypes();
        view = OrbDebug::createMainView();
        OrbDebug::setContextProperties(*view, context);
        view->resize(1280, 800);
        OrbDebug::showMainView(*view);
        if (!QTest::qWaitForWindowExposed(view.get()))
            std::fprintf(stderr, "the window did not show\n");
    }
    QObject* root() const { return view->rootObject(); }
    QObject* createViewer(const char* file, int node) {
        QVariant viewer;
        QMetaObject::invokeMethod(root()->property("mainLayout").value<QObject*>(), "createTaskViewer",
                                  Q_RETURN_ARG(QVariant, viewer), Q_ARG(QVariant, QString::fromLatin1(file)),
                                  Q_ARG(QVariant, node));
        return viewer.value<QObject*>();
    }
    QExContextObject context;
    std::unique_ptr<QQuickView> view;
};

// How long the Tracking Debug page menu takes from the click to being open (milliseconds).
double menuOpening(QObject* viewerItem) {
    QObject* button = viewerItem->property("menuButton").value<QObject*>();
    QObject* menu = viewerItem->property("pageMenu").value<QObject*>();
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(button, "clicked");
    while (!menu->property("opened").toBool() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QMetaObject::invokeMethod(menu, "close");
    QTest::qWait(500);
    return ms;
}

// `only`: the page indices to measure, comma-separated; empty measures every page.
int pages(int secondsPerPage, const std::string& only) {
    QTemporaryDir folder;
    TrackingDebugTest::prepareSimulation(folder, TrackingDebugTest::singleBarScenario("realtime", 5, 100000));
    if (!TrackingDebugTest::storeConfiguration("environment", TrackingDebugTest::singleBar))
        return 3;
    Window window;
    FrameClock frames(*window.view);
    measure(frames, "no viewer", 3000);
    QObject* item = window.createViewer("TaskViewer_OrbTracking_Debug.qml", 2);
    if (!item)
        return 4;
    QObject* settings = window.root()->property("settings").value<QObject*>();
    QQmlProperty::write(settings, "trackingDebugSectionID", int(TaskViewer_OrbTracking_Debug::User));
    QTest::qWait(8000);  // the tracker reaches 6DoF
    const QStringList names = TaskViewer_OrbTracking_Debug::sectionNames();
    for (int page = 0; page < names.size(); ++page) {
        if (!only.empty() && ("," + only + ",").find("," + std::to_string(page) + ",") == std::string::npos)
            continue;
        QQmlProperty::write(settings, "trackingDebugSectionID", page);
        measure(frames, qPrintable(QStringLiteral("page ") + names[page]), secondsPerPage * 1000, viewportOf(item));
    }
    if (!only.empty() && only.find("menu") == std::string::npos)
        return 0;
    for (int page : {int(TaskViewer_OrbTracking_Debug::User), int(TaskViewer_OrbTracking_Debug::VisualPosition)}) {
        QQmlProperty::write(settings, "trackingDebugSectionID", page);
        QTest::qWait(1000);
        std::vector<double> opening;
        for (int i = 0; i < 5; ++i)
            opening.push_back(menuOpening(item));
        std::sort(opening.begin(), opening.end());
        std::printf("page menu opening on %-16s median %6.1f ms  max %6.1f ms\n", qPrintable(names[page]), opening[2],
                    opening.back());
    }
    return 0;
}

// The window with Tracking Debug on `page` after `seconds`, saved as the PNG `file`.
int shot(int page, int seconds, const char* file) {
    QTemporaryDir folder;
    TrackingDebugTest::prepareSimulation(folder, TrackingDebugTest::singleBarScenario("realtime", 5, 100000));
    if (!TrackingDebugTest::storeConfiguration("environment", TrackingDebugTest::singleBar))
        return 3;
    Window window;
    QObject* settings = window.root()->property("settings").value<QObject*>();
    QQmlProperty::write(settings, "trackingDebugSectionID", page);
    if (!window.createViewer("TaskViewer_OrbTracking_Debug.qml", 2))
        return 4;
    QTest::qWait(seconds * 1000);
    return window.view->grabWindow().save(QString::fromLocal8Bit(file)) ? 0 : 5;
}

int image(int seconds) {
    Kestrel::InterfaceContract::setLibraryFolder(FakeNetwork::folder());
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    FakeNetwork fake;
    fake.plug(9, 0);
    const Kestrel::DeviceNetwork::InterfaceId debugTask = Kestrel::Orb::Debug::debugTaskId;
    fake.support(9, &debugTask);
    // The viewer's last request may wait 2 s more for the device: the library stays loaded.
    struct Linger {
        ~Linger() { QTest::qWait(2500); }
    } linger;
    Window window;
    FrameClock frames(*window.view);
    measure(frames, "no viewer", 3000);
    QObject* item = window.createViewer("TaskViewer_OrbDebug_Image.qml", 9);
    if (!item)
        return 4;
    QObject* autoImage = item->property("autoImage").value<QObject*>();
    autoImage->setProperty("value", true);
    measure(frames, "image, auto, silent device", seconds * 1000, viewportOf(item));
    QObject* errorLabel = item->property("errorLabel").value<QObject*>();
    std::printf("error shown: \"%s\"\n", qPrintable(errorLabel->property("text").toString()));
    return 0;
}

int latency(int seconds, int period) {
    QTemporaryDir folder;
    TrackingDebugTest::prepareSimulation(folder, TrackingDebugTest::singleBarScenario("realtime", 5, 100000));
    Window window;
    FrameClock frames(*window.view);
    measure(frames, "no viewer", 3000);
    QObject* item = window.createViewer("TaskViewer_OrbTracking_GyroscopeLatency.qml", 2);
    if (!item)
        return 4;
    auto* cpp = item->property("cpp").value<TaskViewer_OrbTracking_GyroscopeLatency*>();
    QTest::qWait(1000);
    cpp->begin();
    const Clock::time_point begun = Clock::now();
    for (int done = 0; done < seconds; done += period) {
        const std::string what = "recording " + std::to_string(done) + "-" + std::to_string(done + period) + " s";
        measure(frames, what.c_str(), period * 1000, viewportOf(item));
        for (const auto& [at, ms] : frames.longIntervals(100, begun))
            std::printf("    frame of %.0f ms at %.1f s\n", ms, at);
    }
    frames.restart();
    QElapsedTimer ending;
    ending.start();
    cpp->end();
    const double endMs = double(ending.nsecsElapsed()) / 1e6;
    // The final graph is built on the viewer's worker; a tick shows it.
    while (cpp->lagText().isEmpty() && ending.elapsed() < 60000)
        QTest::qWait(10);
    const double shownMs = double(ending.nsecsElapsed()) / 1e6;
    QTest::qWait(3000);
    std::printf("end(): %.1f ms on the GUI thread, final graph shown after %.1f ms, %zu vertices\n", endMs, shownMs,
                cpp->graph()->vertices().size());
    report("after end", frames.intervals());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    OrbDebug::setApplicationAttributes();
    QGuiApplication application(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "pages";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    int result = 2;
    if (mode == "pages")
        result = pages(seconds > 0 ? seconds : 5, argc > 3 ? argv[3] : "");
    else if (mode == "shot" && argc > 4)
        result = shot(seconds, std::atoi(argv[3]), argv[4]);
    else if (mode == "image")
        result = image(seconds > 0 ? seconds : 20);
    else if (mode == "latency")
        result = latency(seconds > 0 ? seconds : 600, argc > 3 ? std::atoi(argv[3]) : 60);
    else
        std::fprintf(stderr, "usage: %s pages|shot|image|latency [seconds] [period]\n", argv[0]);
    return result;
}
