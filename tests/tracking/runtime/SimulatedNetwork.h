#pragma once
// The simulated device network loaded by name, as the program loads it, with a scenario file
// written for the test.
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "device_simulator/SimulationControl.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tests/EnvironmentVariables.h"

struct SimulatedNetwork {
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ILibrary> library;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork> network;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceSimulator::ISimulationControl> control;

    explicit SimulatedNetwork(const std::string& scenarioJson) {
        using namespace Kestrel::InterfaceContract;
        static int count = 0;
        const std::string path = testing::TempDir() + "device_tasks_scenario_" + std::to_string(count++) + ".json";
        std::ofstream(path) << scenarioJson;
        setenv("KESTREL_SIMULATION", path.c_str(), 1);
        library = load<Kestrel::DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
        unsetenv("KESTREL_SIMULATION");
        if (!library)
            return;
        check(library.get(), library->setSetting(6));
        std::vector<Kestrel::DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
        InArray in = inArray(filter);
        check(library.get(), library->createNetwork(&in, network.out()));
        control = library.query<Kestrel::DeviceSimulator::ISimulationControl>();
    }

    void advance(double seconds) { Kestrel::InterfaceContract::check(control.get(), control->advance(seconds)); }
    double time() const {
        double t = 0;
        Kestrel::InterfaceContract::check(control.get(), control->getTime(&t));
        return t;
    }
};
