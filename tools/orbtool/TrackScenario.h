#pragma once
// The scenario of an `orbtool track` run, written back to a JSON file for the simulated
// network with the clock the command asked for.

#include <cmath>
#include <string>

#include "JsonBuilder.h"
#include "device_simulator/scene/Scenario.h"

namespace OrbTool {

inline JsonArrayBuilder jsonNumbers(std::initializer_list<double> values) {
    JsonArrayBuilder array;
    for (double v : values)
        array.append(v);
    return array;
}

inline JsonObjectBuilder trajectoryJson(const Kestrel::DeviceSimulator::TrajectorySpec& t) {
    JsonObjectBuilder o;
    o["kind"] = Kestrel::DeviceSimulator::trajectoryKindName(t.kind);
    o["centre"] = jsonNumbers({t.centre[0], t.centre[1], t.centre[2]});
    o["rotation"] = jsonNumbers({t.rotation.x, t.rotation.y, t.rotation.z, t.rotation.w});
    o["radius"] = t.radius;
    o["period"] = t.period;
    o["speed"] = t.speed;
    o["turnRate"] = t.turnRate;
    o["jitter"] = t.jitter;
    o["jitterPosition"] = t.jitterPosition;
    o["jitterAngle"] = t.jitterAngle;
    using Kestrel::DeviceSimulator::TrajectoryKind;
    if (t.kind != TrajectoryKind::Static && t.kind != TrajectoryKind::Spin)
        o["look"] = jsonNumbers({t.look[0], t.look[1], t.look[2]});
    return o;
}

inline JsonObjectBuilder faultsJson(const Kestrel::DeviceSimulator::DeviceFaults& f) {
    JsonObjectBuilder o;
    JsonArrayBuilder covered;
    for (const Kestrel::DeviceSimulator::CoveredMarker& c : f.covered) {
        if (c.byTile()) {
            JsonObjectBuilder tile;
            tile["tile"] = jsonNumbers({double(c.tileX), double(c.tileY)});
            tile["marker"] = c.marker;
            covered.append(tile);
        } else {
            covered.append(double(c.index));
        }
    }
    o["covered"] = covered;
    JsonArrayBuilder lamps;
    for (const Kestrel::DeviceSimulator::Lamp& lamp : f.lamps) {
        JsonObjectBuilder l;
        l["position"] = jsonNumbers({lamp.position[0], lamp.position[1], lamp.position[2]});
        l["brightness"] = lamp.brightness;
        l["flickerHz"] = lamp.flickerHz;
        lamps.append(l);
    }
    o["lamps"] = lamps;
    o["lostFrames"] = f.lostFrames;
    JsonObjectBuilder gaps;
    gaps["perSecond"] = f.inertialGaps.perSecond;
    gaps["samples"] = f.inertialGaps.samples;
    o["inertialGaps"] = gaps;
    o["exposureGain"] = f.exposureGain;
    return o;
}

// Every field the scenario format knows, so that the file describes exactly `scenario`.
inline std::string scenarioJson(const Kestrel::DeviceSimulator::Scenario& scenario) {
    using namespace Kestrel::DeviceSimulator;
    JsonObjectBuilder root;
    root["clock"] = scenario.clock == ClockKind::Fast ? "fast" : "realtime";
    root["seed"] = double(scenario.seed);
    if (!scenario.groundTruthCsv.empty())
        root["groundTruthCsv"] = scenario.groundTruthCsv;
    JsonArrayBuilder devices;
    for (const ScenarioDevice& d : scenario.devices) {
        JsonObjectBuilder o;
        const bool adapter = d.kind == DeviceKind::Adapter;
        o["kind"] = adapter ? "adapter" : "tracker";
        o["handle"] = double(d.handle);
        if (d.parent)
            o["parent"] = double(d.parent);
        o["vendor"] = d.vendor;
        o["product"] = d.product;
        o["plugAt"] = d.plugAt;
        if (std::isfinite(d.unplugAt))
            o["unplugAt"] = d.unplugAt;
        if (!adapter) {
            o["environment"] = d.environment;
            if (!d.barPoses.empty()) {
                JsonArrayBuilder bars;
                for (const BarPlacement& bar : d.barPoses)
                    bars.append(jsonNumbers({bar.x, bar.z, bar.heading}));
                o["barPoses"] = bars;
            }
            o["trajectory"] = trajectoryJson(d.trajectory);
            o["frameRate"] = d.frameRate;
            o["imuDelayMs"] = d.imuDelayMs;
            JsonObjectBuilder noise;
            noise["centroid"] = d.optical.centroid;
            noise["dropout"] = d.optical.dropout;
            noise["spurious"] = d.optical.spurious;
            noise["reflections"] = d.optical.reflections;
            noise["occlusion"] = d.optical.occlusion;
            noise["gyroscope"] = d.imu.gyroscopeNoise;
            noise["gyroscopeBias"] = d.imu.gyroscopeBias;
            noise["accelerometer"] = d.imu.accelerometerNoise;
            noise["accelerometerBias"] = d.imu.accelerometerBias;
            o["noise"] = noise;
            o["faults"] = faultsJson(d.faults);
            if (!d.replay.empty()) {
                o["replay"] = d.replay;
                o["loop"] = d.loop;
            }
        }
        devices.append(o);
    }
    root["devices"] = devices;
    return root.text() + "\n";
}

} // namespace OrbTool
