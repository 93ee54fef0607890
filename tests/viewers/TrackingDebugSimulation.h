#pragma once
// The simulated network and the stored configuration of the Tracking Debug tests that run the
// viewer against the simulator: one adapter with two trackers still above the simulator's
// default bar, and whatever more a test needs.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <string>

#include "SimulationHelpers.h"
#include "StoredEntries.h"
#include "interface_contract/ProgramDirectory.h"
#include "viewers/TrackingConfiguration.h"

namespace TrackingDebugTest {

// The simulator's default bar: 1.5 m, middle marker at a third.
inline constexpr char singleBar[] = "AAZTaW5nbGUIAADAP6uqqj4=";

//   host 0 - adapter 1 - tracker 2: still, noise-free, 0.6 m above the middle of the bar
//                      - tracker 3: the same with the default noise, unplugged at `unplugAt` s
// and `moreDevices`, entries of the device list each beginning with a comma.
inline QByteArray singleBarScenario(const char* clock, int seed, int unplugAt, const char* moreDevices = "") {
    const QString scenario = QStringLiteral(R"({
    "clock": "%1",
    "seed": %2,
    "devices": [
        {"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "environment": "%3",
         "trajectory": {"kind": "static", "centre": [0, 0.6, 0]},
         "noise": {"centroid": 0, "dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0,
                   "gyroscope": 0, "gyroscopeBias": 0, "accelerometer": 0, "accelerometerBias": 0}},
        {"handle": 3, "parent": 1, "kind": "tracker", "environment": "%3",
         "trajectory": {"kind": "static", "centre": [0, 0.6, 0]},
         "unplugAt": %4}%5
    ]
})");
    return scenario.arg(QLatin1String(clock))
        .arg(seed)
        .arg(QLatin1String(singleBar))
        .arg(unplugAt)
        .arg(QLatin1String(moreDevices))
        .toUtf8();
}

// Before the network is loaded: writes `scenario` into `folder` and names it for the simulator,
// keeps the stored configuration and the settings in `folder`, and loads the libraries from the
// build's deliverables folder. False when the scenario cannot be written.
inline bool prepareSimulation(const QTemporaryDir& folder, const QByteArray& scenario) {
    if (!SimulationHelpers::useScenario(folder.filePath(QStringLiteral("scenario.json")), scenario.constData()))
        return false;
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(ORB_BIN_DIR));
    return true;
}

// Writes the "default" entry of `group` in the storage the viewer reads; false when the storage
// client library is missing.
inline bool storeConfiguration(const std::string& group, const std::string& value) {
    auto storage = TrackingDebug::openConfigurationStorage();
    if (!storage)
        return false;
    storeDefault(*storage.get(), group, value);
    return true;
}

} // namespace TrackingDebugTest
