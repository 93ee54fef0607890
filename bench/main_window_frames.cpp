// The main window's frame interval while the viewers work: the real window (QML, viewers,
// engine) at 1280 x 800, asked to draw continuously; the time between two finished frames is
// printed as p50, p99 and max. Run under Xvfb:
//
//   xvfb-run -a -s "-screen 0 1280x800x24" bench/bench_main_window_frames pages [seconds per page] [pages]
//       Tracking Debug on a still tracker of the simulated network (real-time clock), every
//       page in turn (or the pages listed by index, e.g. 0,1,9); then how long the page menu
//       takes to open on "User" and on "Visual position".
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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Frame intervals, and the process's CPU time per frame when `cpuSeconds` is given: unlike the
// intervals, that figure changes little with the machine's load.
void report(const char* what, std::vector<double> ms, double cpuSeconds = -1) {
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
    std::printf("\n");
    std::fflush(stdout);
}

void measure(FrameClock& frames, const char* what, int milliseconds) {
    frames.restart();
    const double cpuAtStart = processCpuSeconds();
    QTest::qWait(milliseconds);
    const double cpu = processCpuSeconds() - cpuAtStart;
    report(what, frames.intervals(), cpu);
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
        measure(frames, qPrintable(QStringLiteral("page ") + names[page]), secondsPerPage * 1000);
    }
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
    measure(frames, "image, auto, silent device", seconds * 1000);
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
    for (int done = 0; done < seconds; done += period) {
        const std::string what = "recording " + std::to_string(done) + "-" + std::to_string(done + period) + " s";
        measure(frames, what.c_str(), period * 1000);
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
    else if (mode == "image")
        result = image(seconds > 0 ? seconds : 20);
    else if (mode == "latency")
        result = latency(seconds > 0 ? seconds : 600, argc > 3 ? std::atoi(argv[3]) : 60);
    else
        std::fprintf(stderr, "usage: %s pages|image|latency [seconds] [period]\n", argv[0]);
    return result;
}
