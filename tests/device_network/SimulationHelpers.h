#pragma once
// Driving the simulated device network from tests that load it through the network holder, as
// the program does: the scenario file, the fast clock and the count of running task threads.

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

#include <stdexcept>

#include "device_network/NetworkHolder.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/ErrorBoundary.h"

namespace SimulationHelpers {

// Writes `scenario` to `path` and names it in KESTREL_SIMULATION; false when it cannot be written.
inline bool useScenario(const QString& path, const char* scenario) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(scenario) < 0)
        return false;
    file.close();
    qputenv("KESTREL_SIMULATION", path.toLocal8Bit());
    return true;
}

// The simulator's control face; loads the network first, so that a test does not depend on an
// earlier one having loaded it. Fails the test and throws when the library is missing.
inline Kestrel::InterfaceContract::Ref<Kestrel::DeviceSimulator::ISimulationControl> control() {
    auto& holder = Kestrel::DeviceNetwork::NetworkHolder::instance();
    holder.setUp();
    auto simulation = holder.library() ? holder.library().query<Kestrel::DeviceSimulator::ISimulationControl>() : nullptr;
    if (!simulation)
        throw std::runtime_error("the simulated device network is not loaded");
    return simulation;
}

// Fast clock only: moves the simulation on by `seconds`.
inline void advance(double seconds) {
    auto simulation = control();
    Kestrel::InterfaceContract::check(simulation.get(), simulation->advance(seconds));
}

inline uint32_t runningTasks() {
    auto simulation = control();
    uint32_t count = 0;
    Kestrel::InterfaceContract::check(simulation.get(), simulation->getRunningTaskCount(&count));
    return count;
}

// The simulator ends a released task on its own thread: waits up to 2 s for the count.
inline bool waitForRunningTasks(uint32_t expected) {
    QElapsedTimer timer;
    timer.start();
    while (runningTasks() != expected) {
        if (timer.elapsed() > 2000)
            return false;
        QThread::msleep(5);
    }
    return true;
}

} // namespace SimulationHelpers
