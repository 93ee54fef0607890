// A recording of the simulator, made with orbtool record and played back by a replaying
// tracker of the simulator or by the replay network of `orbtool track --recording`, tracks
// like the live run: same stage timeline within a frame, errors within 10 %.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "OrbtoolRun.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingWriter.h"

namespace {

using OrbtoolRun::number;
using OrbtoolRun::Output;
using OrbtoolRun::run;

std::string readText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The scenario file with "replay" added to its tracker (handle 2, the last device).
std::string withReplay(const std::string& scenario, const std::string& recording) {
    const size_t close = scenario.rfind('}', scenario.rfind(']'));
    return scenario.substr(0, close) + ", \"replay\": \"" + recording + "\"" + scenario.substr(close);
}

class ReplayedRecording : public ::testing::TestWithParam<const char*> {};

TEST_P(ReplayedRecording, TracksLikeTheLiveRun) {
    const std::string scenario = std::string(SCENARIO_FOLDER) + "/" + GetParam();
    const std::string folder = ::testing::TempDir();
    const std::string name = std::string("replay_") + GetParam() + ".orbrec";
    const std::string seconds = "4";

    const Output recorded = run("KESTREL_SIMULATION=" + scenario + " " + ORBTOOL_PATH + " record --node 2 --task tracking --seconds " +
                                seconds + " --out " + folder + name + " 2>&1");
    ASSERT_EQ(recorded.status, 0) << recorded.text;
    EXPECT_NE(recorded.text.find("orbtool record: "), std::string::npos) << recorded.text;

    const std::string replayScenario = folder + name + ".json";
    std::ofstream(replayScenario) << withReplay(readText(scenario), name);

    const Output live = run(std::string(ORBTOOL_PATH) + " track --scenario " + scenario + " --seconds " + seconds +
                            " --json 2>/dev/null");
    const Output replayed = run(std::string(ORBTOOL_PATH) + " track --scenario " + replayScenario + " --seconds " +
                                seconds + " --json 2>/dev/null");
    std::smatch code;
    const std::string scenarioText = readText(scenario);
    ASSERT_TRUE(std::regex_search(scenarioText, code, std::regex(R"re("environment"\s*:\s*"([^"]+)")re")));
    const Output fromFile = run(std::string(ORBTOOL_PATH) + " track --recording " + folder + name + " --environment " +
                                code[1].str() + " --seconds " + seconds + " --json 2>/dev/null");
    ASSERT_EQ(live.status, 0) << live.text;
    std::printf("live:           %s", live.text.c_str());
    for (const Output* other : {&replayed, &fromFile}) {
        SCOPED_TRACE(other == &replayed ? "simulator's replay" : "track --recording");
        ASSERT_EQ(other->status, 0) << other->text;
        std::printf("%s %s", other == &replayed ? "replayed:      " : "from the file: ", other->text.c_str());
        const double frame = 1.0 / 200;
        for (const char* key : {R"("timeTo3DofS")", R"("timeTo6DofS")"}) {
            const double a = number(live.text, key), b = number(other->text, key);
            ASSERT_FALSE(std::isnan(a)) << key;
            EXPECT_NEAR(b, a, frame) << key;
        }
        EXPECT_NEAR(number(other->text, R"("Tracking6Dof")"), number(live.text, R"("Tracking6Dof")"), 0.02);
        for (const char* key : {R"("positionErrorMm"\s*:\s*\{"rms")", R"("rotationErrorDeg"\s*:\s*\{"rms")",
                                R"("positionErrorMm"\s*:\s*\{"rms"[^}]*"p95")"}) {
            const double a = number(live.text, key), b = number(other->text, key);
            EXPECT_NEAR(b, a, 0.1 * a) << key;
        }
    }
}

// Without true poses in the file there is nothing to measure errors against: the figures of
// the pipeline's stages come, the errors do not.
TEST(ReplayedRecording, ARecordingWithoutTruePosesHasNoErrors) {
    const std::string folder = ::testing::TempDir();
    const std::string scenario = std::string(SCENARIO_FOLDER) + "/single_bar_still_low.json";
    const Output recorded = run("KESTREL_SIMULATION=" + scenario + " " + ORBTOOL_PATH +
                                " record --node 2 --task tracking --seconds 1 --out " + folder + "truth.orbrec 2>&1");
    ASSERT_EQ(recorded.status, 0) << recorded.text;
    // The same file without its pose records.
    using namespace Kestrel::Recording;
    const Recording read = readRecordingFile(folder + "truth.orbrec");
    std::string kept = encodeHeader(read.header);
    size_t poses = 0;
    for (const Record& r : read.records) {
        if (r.direction == Direction::TruePose)
            ++poses;
        else
            kept += encodeRecord(r);
    }
    EXPECT_EQ(poses, 201u) << "a pose at the start and every 5 ms";
    std::ofstream(folder + "nopose.orbrec", std::ios::binary) << kept;
    const Output withPoses = run(std::string(ORBTOOL_PATH) + " track --recording " + folder + "truth.orbrec --environment AAZTaW5nbGUIAADAP6uqqj4= --json 2>/dev/null");
    const Output without = run(std::string(ORBTOOL_PATH) + " track --recording " + folder + "nopose.orbrec --environment AAZTaW5nbGUIAADAP6uqqj4= 2>/dev/null");
    ASSERT_EQ(withPoses.status, 0) << withPoses.text;
    ASSERT_EQ(without.status, 0) << without.text;
    EXPECT_FALSE(std::isnan(number(withPoses.text, R"("positionErrorMm"\s*:\s*\{"rms")"))) << withPoses.text;
    EXPECT_NE(without.text.find("the recording carries no true pose"), std::string::npos) << without.text;
    EXPECT_NE(without.text.find("position error in 6DoF: no samples"), std::string::npos) << without.text;
    EXPECT_NE(without.text.find("time to 6DoF: 0."), std::string::npos) << without.text;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ReplayedRecording,
                         ::testing::Values("single_bar_still_low.json", "single_bar_circle_low.json"));

TEST(ReplayedRecording, ACutRecordingIsRefusedNamingTheFieldAndTheOffset) {
    const std::string folder = ::testing::TempDir();
    const std::string scenario = std::string(SCENARIO_FOLDER) + "/single_bar_still_low.json";
    const Output recorded = run("KESTREL_SIMULATION=" + scenario + " " + ORBTOOL_PATH +
                                " record --node 2 --task tracking --seconds 0.2 --out " + folder + "whole.orbrec 2>&1");
    ASSERT_EQ(recorded.status, 0) << recorded.text;
    const std::string bytes = readText(folder + "whole.orbrec");
    ASSERT_GT(bytes.size(), 3700u);
    std::ofstream(folder + "cut.orbrec", std::ios::binary) << bytes.substr(0, bytes.size() - 5);
    std::ofstream(folder + "cut.json") << withReplay(readText(scenario), "cut.orbrec");

    // The simulated network says why in its debug log, shown with --verbose.
    const Output replayed =
        run(std::string(ORBTOOL_PATH) + " --verbose track --scenario " + folder + "cut.json --seconds 1 2>&1");
    EXPECT_NE(replayed.status, 0);
    EXPECT_NE(replayed.text.find("devices[1].replay: " + folder + "cut.orbrec: Recording truncated at byte " +
                                 std::to_string(bytes.size() - 5)),
              std::string::npos)
        << replayed.text;
}

TEST(OrbtoolRecord, RefusesWrongOptions) {
    for (const char* arguments : {"--node 2 --task tracking --seconds 1", "--node 2 --task other --seconds 1 --out x",
                                  "--node 2 --task debug --seconds 0 --out x"}) {
        const Output out = run(std::string(ORBTOOL_PATH) + " record " + arguments + " 2>&1");
        EXPECT_NE(out.status, 0) << arguments;
        EXPECT_EQ(out.text.rfind("orbtool record: ", 0), 0u) << out.text;
    }
}

} // namespace
