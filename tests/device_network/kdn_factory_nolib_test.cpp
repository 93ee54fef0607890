// KdnFactory when no device-network library can be found.
#include <gtest/gtest.h>

#include <QDir>

#include "device_network/KdnFactory.h"
#include "device_network/NetworkHolder.h"
#include "interface_contract/ProgramDirectory.h"

TEST(KdnFactoryWithoutLibrary, AnswersNeutrallyAndSaysWhy) {
    QDir().mkpath(QStringLiteral(EMPTY_FOLDER));
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(EMPTY_FOLDER));
    KdnFactory factory;
    EXPECT_EQ("KDN library not loaded", factory.getErrorMessage().toStdString());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(-1, factory.getUpdateID());
        EXPECT_TRUE(factory.getNodes().isEmpty());
    }
    EXPECT_EQ(0, factory.getParent(3));
    EXPECT_FALSE(factory.isTaskSupported(3, -1497334480, 1156441039, -1772120391, -493714535));
    factory.reload();
    KdnFactory second;
    EXPECT_EQ("KDN library not loaded", second.getErrorMessage().toStdString());
    EXPECT_FALSE(Kestrel::DeviceNetwork::NetworkHolder::instance().library());
}
