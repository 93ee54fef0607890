// The Tracking Debug viewer's stored configuration: placement and environment codes read through
// the storage client library from a temporary local storage. The codes are built by hand
// (python3: struct.pack('<6f', ...) behind a version byte, then base64).
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>

#include "LogCapture.h"
#include "StoredEntries.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/ProgramDirectory.h"
#include "tracking/environments/OrbEnvironment.h"
#include "viewers/TrackingConfiguration.h"

using namespace TrackingDebug;
using Kestrel::InterfaceContract::Ref;
using Kestrel::StorageClient::IStorage;

namespace {

// Version 0, position (0, 0, 0), angles (0, 0, 0).
const char zeroPlacement[] = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==";
// Version 0, position (0.25, 0.5, -0.75), angles (0, 0.5, 0).
const char turnedPlacement[] = "AAAAgD4AAAA/AABAvwAAAAAAAAA/AAAAAA==";
// Version 1, otherwise zeros.
const char versionOnePlacement[] = "AQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==";
// One bar of 1 m, middle ratio 0.3 (00 06 "Single" 08 | 1.0f 0.3f).
const char singleBar[] = "AAZTaW5nbGUIAACAP5qZmT4=";
// Version 0, kind "Garland", empty payload.
const char garland[] = "AAdHYXJsYW5kAA==";

// The storage library settles on its folder once per process: one folder for all tests, emptied
// before each.
class StoredConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
        Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(STORAGE_LIBRARY_FOLDER));
        storage_ = openConfigurationStorage();
        ASSERT_TRUE(storage_);
        for (const char* group : {"placement", "environment"})
            TrackingDebugTest::clearDefault(*storage_.get(), group);
    }

    void write(const std::string& group, const std::string& value) {
        TrackingDebugTest::storeDefault(*storage_.get(), group, value);
    }

    std::string failure() {
        try {
            readStoredConfiguration(*storage_.get());
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no exception";
    }

    Ref<IStorage> storage_;
};

} // namespace

// First in this program: once the library is loaded it stays loaded, and a later search by
// its bare name would find it.
TEST(StorageLibrary, MissingLibraryGivesNoStorageAndOneLogLine) {
    QTemporaryDir empty;
    Kestrel::InterfaceContract::setLibraryFolder(empty.path());
    LogCapture log;
    EXPECT_FALSE(openConfigurationStorage());
    EXPECT_EQ(std::vector<std::string>{"KestrelStorageClient library not found."}, log.lines());
}

TEST_F(StoredConfigurationTest, NothingStoredMeansNoEnvironmentAndTheTrackersOwnCentre) {
    LogCapture log;
    const StoredConfiguration configuration = readStoredConfiguration(*storage_.get());
    EXPECT_FALSE(configuration.environment);
    EXPECT_EQ(0.0f, configuration.placement.position[0]);
    EXPECT_EQ(1.0f, configuration.placement.rotation.w);
    EXPECT_EQ((std::vector<std::string>{"No placement configured: the tracker's own centre is used",
                                        "No environment configured"}),
              log.lines());
}

TEST_F(StoredConfigurationTest, ZeroPlacementIsTheOriginWithoutRotation) {
    write("placement", zeroPlacement);
    write("environment", singleBar);
    const StoredConfiguration configuration = readStoredConfiguration(*storage_.get());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(0.0f, configuration.placement.position[std::size_t(k)]);
    EXPECT_EQ(0.0f, configuration.placement.rotation.x);
    EXPECT_EQ(0.0f, configuration.placement.rotation.y);
    EXPECT_EQ(0.0f, configuration.placement.rotation.z);
    EXPECT_EQ(1.0f, configuration.placement.rotation.w);
}

TEST_F(StoredConfigurationTest, AngleBAloneTurnsAboutY) {
    write("placement", turnedPlacement);
    write("environment", singleBar);
    const StoredConfiguration configuration = readStoredConfiguration(*storage_.get());
    EXPECT_EQ(0.25f, configuration.placement.position[0]);
    EXPECT_EQ(0.5f, configuration.placement.position[1]);
    EXPECT_EQ(-0.75f, configuration.placement.position[2]);
    // (0, sin 0.25, 0, cos 0.25) = (0, 0.247403959, 0, 0.968912422)
    EXPECT_NEAR(0.0, configuration.placement.rotation.x, 1e-7);
    EXPECT_NEAR(0.247403959, configuration.placement.rotation.y, 1e-6);
    EXPECT_NEAR(0.0, configuration.placement.rotation.z, 1e-7);
    EXPECT_NEAR(0.968912422, configuration.placement.rotation.w, 1e-6);
}

TEST_F(StoredConfigurationTest, StoredSingleBarBuildsItsMarkers) {
    write("environment", singleBar);
    const StoredConfiguration configuration = readStoredConfiguration(*storage_.get());
    ASSERT_TRUE(configuration.environment);
    auto* native = Kestrel::Orb::Tracking::nativeEnvironment(configuration.environment.get());
    ASSERT_TRUE(native);
    const auto markers = native->markerPositions();
    ASSERT_EQ(3u, markers.size());
    // Ends at -0.5 and 0.5, the middle marker 0.3 m from the first end.
    EXPECT_NEAR(-0.5, markers[0][0], 1e-6);
    EXPECT_NEAR(-0.2, markers[1][0], 1e-6);
    EXPECT_NEAR(0.5, markers[2][0], 1e-6);
}

TEST_F(StoredConfigurationTest, PlacementFailuresStopBeforeTheEnvironment) {
    // The environment is unusable too: its error must not be the one reported.
    write("environment", garland);
    write("placement", versionOnePlacement);
    EXPECT_EQ("need VersionConverter implementation", failure());
    write("placement", "not*base64");
    EXPECT_EQ("Wrong base64 string", failure());
}

TEST_F(StoredConfigurationTest, EnvironmentFailuresAreReported) {
    write("placement", zeroPlacement);
    write("environment", "%%%");
    EXPECT_EQ("Wrong base64 string", failure());
    write("environment", garland);
    EXPECT_EQ("the stored environment is of a kind this program does not know", failure());
}
