// Steps 1-4 of start-up: choosing, creating and entering the data folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "app/Startup.h"

using namespace OrbDebug;

namespace {

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary_.isValid());
        root_ = QFileInfo(temporary_.path()).canonicalFilePath();
        startDirectory_ = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(startDirectory_); }

    bool isFolder(const QString& path) const { return QFileInfo(path).isDir(); }

    QTemporaryDir temporary_;
    QString root_;
    QString startDirectory_;
};

} // namespace

TEST_F(DataFolder, UnsetOrEmptyVariableGivesTheDefault) {
    const QString expected = QDir::homePath() + "/OrbDebugData/";
    EXPECT_EQ(expected, defaultDataFolder());

    QProcessEnvironment environment;
    EXPECT_EQ(expected, dataFolderFromEnvironment(environment));
    environment.insert("OrbDebugDataPath", "");
    EXPECT_EQ(expected, dataFolderFromEnvironment(environment));

    // The same through the real process environment, where an empty value is a set variable.
    qputenv("OrbDebugDataPath", QByteArray(""));
    ASSERT_TRUE(QProcessEnvironment::systemEnvironment().contains("OrbDebugDataPath"));
    EXPECT_EQ(expected, dataFolderFromEnvironment(QProcessEnvironment::systemEnvironment()));
    qunsetenv("OrbDebugDataPath");
    EXPECT_EQ(expected, dataFolderFromEnvironment(QProcessEnvironment::systemEnvironment()));
}

TEST_F(DataFolder, VariableIsTakenAsWritten) {
    QProcessEnvironment environment;
    environment.insert("OrbDebugDataPath", "D:/x");
    EXPECT_EQ("D:/x", dataFolderFromEnvironment(environment));
    environment.insert("OrbDebugDataPath", " ");
    EXPECT_EQ(" ", dataFolderFromEnvironment(environment));
}

TEST_F(DataFolder, PathWithoutTrailingSlashGetsASiblingAndTheSubfolderTheButtonSavesInto) {
    const QString folder = root_ + "/x";
    EXPECT_TRUE(prepareDataFolder(folder));
    EXPECT_TRUE(isFolder(folder));
    EXPECT_TRUE(isFolder(root_ + "/xScreenshots"));
    EXPECT_TRUE(isFolder(folder + "/Screenshots"));
    EXPECT_EQ(folder, QDir::currentPath());
}

TEST_F(DataFolder, PathWithTrailingSlashGetsTheScreenshotSubfolder) {
    const QString folder = root_ + "/y/";
    EXPECT_TRUE(prepareDataFolder(folder));
    EXPECT_TRUE(isFolder(root_ + "/y/Screenshots"));
    EXPECT_EQ(root_ + "/y", QDir::currentPath());
}

TEST_F(DataFolder, ExistingFolderIsEnteredAndKeepsItsFiles) {
    const QString folder = root_ + "/existing/";
    ASSERT_TRUE(QDir().mkpath(folder + "Screenshots"));
    QFile kept(folder + "Screenshots/old.png");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.close();

    EXPECT_TRUE(prepareDataFolder(folder));
    EXPECT_EQ(root_ + "/existing", QDir::currentPath());
    EXPECT_TRUE(QFileInfo::exists(folder + "Screenshots/old.png"));
}

TEST_F(DataFolder, RelativePathResolvesAgainstTheStartDirectory) {
    ASSERT_TRUE(QDir::setCurrent(root_));
    EXPECT_TRUE(prepareDataFolder("relative"));
    EXPECT_TRUE(isFolder(root_ + "/relative"));
    EXPECT_TRUE(isFolder(root_ + "/relativeScreenshots"));
    EXPECT_EQ(root_ + "/relative", QDir::currentPath());
}

TEST_F(DataFolder, MissingParentLeavesTheWorkingDirectoryAlone) {
    // Creation is one level only: the failure is ignored and the program stays where it began.
    ASSERT_TRUE(QDir::setCurrent(root_));
    EXPECT_FALSE(prepareDataFolder(root_ + "/missing/deeper/"));
    EXPECT_FALSE(isFolder(root_ + "/missing"));
    EXPECT_EQ(root_, QDir::currentPath());
}

TEST_F(DataFolder, FileInThePlaceOfTheFolderLeavesTheWorkingDirectoryAlone) {
    QFile blocker(root_ + "/blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(QDir::setCurrent(root_));
    EXPECT_FALSE(prepareDataFolder(root_ + "/blocked"));
    EXPECT_EQ(root_, QDir::currentPath());
    // The screenshot sibling does not depend on the data folder itself.
    EXPECT_TRUE(isFolder(root_ + "/blockedScreenshots"));
}
