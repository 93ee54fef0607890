// orbtool health end to end against the simulated network: clean sessions give no finding, an
// inertial lag the simulator injects is measured and named, and the JSON and HTML documents
// parse with the HTML's figures inline.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

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
std::string scenario(const QTemporaryDir& folder, const std::string& name, int seed, double imuDelayMs = 0) {
    QJsonObject s = readJson(std::string(SIMULATOR_SCENARIOS) + "/" + name + ".json");
    s["seed"] = seed;
    s["clock"] = "fast";
    QJsonArray devices = s["devices"].toArray();
    QJsonObject tracker = devices[1].toObject();
    tracker["imuDelayMs"] = imuDelayMs;
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
