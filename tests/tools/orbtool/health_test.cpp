// orbtool health end to end against the simulated network: clean sessions give no finding, each
// fault the simulator injects is named with figures near the fault's ground truth, and the JSON
// and HTML documents parse with the HTML's figures inline.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "OrbtoolRun.h"

namespace {

using OrbtoolRun::run;

QJsonObject readJson(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return QJsonDocument::fromJson(QByteArray::fromStdString(text.str())).object();
}

// The simulator's scenario `name` with its seed (and the tracker's inertial delay) replaced,
// written into `folder`.
std::string scenario(const QTemporaryDir& folder, const std::string& name, int seed, double imuDelayMs = 0,
                     const QJsonObject& faults = {}) {
    QJsonObject s = readJson(std::string(SIMULATOR_SCENARIOS) + "/" + name + ".json");
    s["seed"] = seed;
    s["clock"] = "fast";
    QJsonArray devices = s["devices"].toArray();
    QJsonObject tracker = devices[1].toObject();
    tracker["imuDelayMs"] = imuDelayMs;
    if (!faults.isEmpty())
        tracker["faults"] = faults;
    devices[1] = tracker;
    s["devices"] = devices;
    const std::string path = folder.filePath(QString::fromStdString(name + "-" + std::to_string(seed) + ".json")).toStdString();
    std::ofstream(path) << QJsonDocument(s).toJson().toStdString();
    return path;
}

QJsonObject health(const std::string& scenarioPath, double seconds, const std::string& extra = "") {
    const OrbtoolRun::Output out = run(std::string(ORBTOOL_PATH) + " health --scenario " + scenarioPath + " --seconds " +
                                       std::to_string(seconds) + " --json " + extra + " 2>/dev/null");
    EXPECT_EQ(out.status, 0) << out.text;
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(out.text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << out.text;
    return json.object();
}

TEST(OrbtoolHealth, CleanSessionsGiveNoFinding) {
    QTemporaryDir folder;
    for (const char* name : {"random-walk", "figure-eight"})
        for (int seed : {11, 12}) {
            SCOPED_TRACE(std::string(name) + " seed " + std::to_string(seed));
            const QJsonObject r = health(scenario(folder, name, seed), 15);
            EXPECT_GT(r["pipeline"].toObject()["stageSeconds"].toObject()["Tracking6Dof"].toDouble(), 12.0);
            EXPECT_EQ(r["optical"].toObject()["lostFrames"].toInt(), 0);
            EXPECT_EQ(r["inertial"].toObject()["gaps"].toInt(), 0);
            EXPECT_TRUE(r["findings"].toArray().isEmpty()) << QJsonDocument(r["findings"].toArray()).toJson().toStdString();
        }
}

TEST(OrbtoolHealth, NamesTheInertialLagTheSimulatorInjects) {
    QTemporaryDir folder;
    const QJsonObject r = health(scenario(folder, "random-walk", 21, 7.0), 25);
    const QJsonObject lag = r["lag"].toObject();
    ASSERT_TRUE(lag["found"].toBool());
    EXPECT_NEAR(lag["milliseconds"].toDouble(), 7.0, 1.0);
    bool named = false;
    for (const QJsonValue f : r["findings"].toArray())
        named = named || f.toObject()["kind"].toString() == "InertialLag";
    EXPECT_TRUE(named);
}

// The findings of `r` of kind `kind`.
std::vector<QJsonObject> findings(const QJsonObject& r, const char* kind) {
    std::vector<QJsonObject> out;
    for (const QJsonValue f : r["findings"].toArray())
        if (f.toObject()["kind"].toString() == kind)
            out.push_back(f.toObject());
    return out;
}

QJsonObject faultsOf(const char* json) { return QJsonDocument::fromJson(json).object(); }

TEST(OrbtoolHealth, NamesACoveredMarker) {
    QTemporaryDir folder;
    const QJsonObject r = health(scenario(folder, "circle", 31, 0, faultsOf(R"({"covered": [14]})")), 20);
    const auto named = findings(r, "MarkerRarelyMatched");
    ASSERT_EQ(named.size(), 1u) << QJsonDocument(r["findings"].toArray()).toJson().toStdString();
    EXPECT_EQ(named[0]["marker"].toInt(), 14);
    EXPECT_LT(named[0]["value"].toDouble(), 0.05);
    // Marker 14 is the last marker of the default floor's fifth tile entry, (1, 4, turn 3).
    const std::string text = named[0]["text"].toString().toStdString();
    EXPECT_EQ(text.rfind("Marker 14 (tile 1,4) was matched in ", 0), 0u) << text;
    const QJsonArray tile = r["markers"].toArray()[14].toObject()["tile"].toArray();
    EXPECT_EQ(tile, (QJsonArray{1, 4}));
}

TEST(OrbtoolHealth, LocatesSteadyAndFlickeringLamps) {
    QTemporaryDir folder;
    // Two lamps on the floor, three times as bright as a marker; the second flickers at 7 Hz.
    const QJsonObject r = health(scenario(folder, "circle", 32, 0, faultsOf(R"({"lamps": [
        {"position": [1.2, 0.0, -0.8], "brightness": 3},
        {"position": [-1.1, 0.0, 0.4], "brightness": 3, "flickerHz": 7}]})")), 20);
    const auto named = findings(r, "StrayLight");
    ASSERT_EQ(named.size(), 2u) << QJsonDocument(r["findings"].toArray()).toJson().toStdString();
    const double truth[2][3] = {{1.2, 0.0, -0.8}, {-1.1, 0.0, 0.4}};
    for (const QJsonObject& f : named) {
        const QJsonObject p = f["position"].toObject();
        const int k = p["x"].toDouble() > 0 ? 0 : 1;
        const double error = std::hypot(p["x"].toDouble() - truth[k][0], p["y"].toDouble() - truth[k][1],
                                        p["z"].toDouble() - truth[k][2]);
        EXPECT_LT(error, 0.05) << f["text"].toString().toStdString();
        // On in half of every period: seen in about half of the frames it was in view.
        EXPECT_NE(f["text"].toString().indexOf(k == 0 ? "steady" : "flickering"), -1) << f["text"].toString().toStdString();
    }
}

TEST(OrbtoolHealth, CountsLostFramesAndInertialGaps) {
    QTemporaryDir folder;
    // 3 % of the frames skipped; one run of 30 missing samples (15 ms) a second on average.
    const QJsonObject r = health(scenario(folder, "circle", 33, 0, faultsOf(R"({"lostFrames": 0.03,
        "inertialGaps": {"perSecond": 1, "samples": 30}})")), 20);
    // 4000 frames: the share lost has a standard deviation of sqrt(0.03 * 0.97 / 4000) = 0.27 %.
    EXPECT_NEAR(r["optical"].toObject()["lostShare"].toDouble(), 0.03, 0.01);
    EXPECT_EQ(findings(r, "LostFrames").size(), 1u);
    const QJsonObject inertial = r["inertial"].toObject();
    const int gaps = inertial["gaps"].toInt();
    // About 20 gaps in 20 s; each lacks 30 samples, of which at most 1 at either end can hide in
    // an interval that is short by less than 2 samples.
    EXPECT_GE(gaps, 8);
    EXPECT_LE(gaps, 35);
    EXPECT_NEAR(double(inertial["missingSamples"].toInt()), 30.0 * gaps, 2.0 * gaps);
    EXPECT_EQ(findings(r, "InertialGaps").size(), 1u);
}

TEST(OrbtoolHealth, NamesSaturatedBlobs) {
    QTemporaryDir folder;
    const QJsonObject r = health(scenario(folder, "circle", 34, 0, faultsOf(R"({"exposureGain": 40})")), 10);
    EXPECT_GT(r["optical"].toObject()["saturatedShare"].toDouble(), 0.2);
    EXPECT_EQ(findings(r, "SaturatedBlobs").size(), 1u);
}

TEST(OrbtoolHealth, HtmlReportIsWellFormedWithInlineFigures) {
    QTemporaryDir folder;
    const std::string html = folder.filePath("report.html").toStdString();
    health(scenario(folder, "circle", 1), 3, "--html " + html);
    std::ifstream file(html);
    std::stringstream text;
    text << file.rdbuf();
    QXmlStreamReader xml(QByteArray::fromStdString(text.str()));
    int svg = 0, polylines = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            svg += xml.name() == QLatin1String("svg");
            polylines += xml.name() == QLatin1String("polyline");
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(svg, 10);
    EXPECT_EQ(polylines, 8);  // every plot over time has its line
}

} // namespace
