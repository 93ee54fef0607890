#pragma once
// Driving the simulated device network from tests that load it through the network holder, as
// the program does: the scenario file, the fast clock and the count of running task threads.

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

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

inline Kestrel::InterfaceContract::Ref<Kestrel::DeviceSimulator::ISimulationControl> control() {
    return Kestrel::DeviceNetwork::NetworkHolder::instance().library().query<Kestrel::DeviceSimulator::ISimulationControl>();
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
