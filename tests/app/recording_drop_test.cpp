// Recordings dropped on the main window from a file manager: the real window (main QML, the
// device tree, the tasks menu) receives drag-enter and drop events carrying file URLs, as the
// window system delivers them, with no device-network library beside the program. Dropped
// .orbrec files join the device tree, one or several at a time; other files are refused with
// their name; a recorded node offers only the viewers of the task its file carries.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include "GuiTestPlatform.h"
#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"
#include "interface_contract/ProgramDirectory.h"
#include "recording/RecordingWriter.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

namespace {

using namespace Kestrel;

// A short recording of `task` on node 5: three device-to-host packets.
QString writeRecording(const QDir& folder, const QString& name, const InterfaceContract::InterfaceId& task) {
    Recording::Header header;
    header.node = 5;
    header.task = task;
    const QString path = folder.filePath(name);
    Recording::RecordingWriter writer(path.toStdString(), header);
    for (int i = 0; i < 3; ++i)
        writer.append({0.01 * (i + 1), Recording::Direction::DeviceToHost, 0, std::string(6, char(i))});
    writer.close();
    return path;
}

class RecordingDrop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        chooseTestPlatform();
        OrbDebug::setApplicationAttributes();
        static int argc = 1;
        static char name[] = "recording_drop_test";
        static char* argv[] = {name, nullptr};
        application = new QGuiApplication(argc, argv);
        OrbDebug::setApplicationNames();
        OrbDebug::registerQmlTypes();
    }

    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        QDir(data.path()).mkpath(QStringLiteral("no_kdn"));
        InterfaceContract::setLibraryFolder(data.filePath(QStringLiteral("no_kdn")));
        qputenv("XDG_CONFIG_HOME", data.filePath(QStringLiteral("config")).toLocal8Bit());
        QDir::setCurrent(data.path());
        view = OrbDebug::createMainView();
        OrbDebug::setContextProperties(*view, context);
        view->resize(1000, 700);
        OrbDebug::showMainView(*view);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        mainLayout = view->rootObject()->property("mainLayout").value<QObject*>();
        kdnViewer = mainLayout->property("kdnViewer").value<QObject*>();
        replays = view->rootObject()->property("replays").value<QObject*>();
    }

    void TearDown() override {
        view.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // Drags `files` over the window's middle and drops them there; returns whether the window
    // accepted the drop.
    bool drop(const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        mime.setUrls(urls);
        const QPoint at(view->width() / 3, view->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &move);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &dropped);
        return dropped.isAccepted();
    }

    // The device tree's nodes once its 100 ms poll has shown `count` of them (or 5 s passed);
    // -1 only lets the poll run a few times.
    QVariantList treeNodes(int count) {
        if (count < 0)
            QTest::qWait(500);
        else
            (void)QTest::qWaitFor([&] { return kdnViewer->property("nodes").toList().size() == count; }, 5000);
        return kdnViewer->property("nodes").toList();
    }

    // The item named `name` among the items drawn in the window (Repeater's items included).
    QQuickItem* item(const QString& name, QQuickItem* under = nullptr) {
        for (QQuickItem* child : (under ? under : view->contentItem())->childItems()) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem* found = item(name, child))
                return found;
        }
        return nullptr;
    }

    QString label(int node) {
        QString text;
        QMetaObject::invokeMethod(kdnViewer->property("factory").value<QObject*>(), "getNodeLabel",
                                  Q_RETURN_ARG(QString, text), Q_ARG(int, node));
        return text;
    }

    // The titles the tasks menu lists for `node`.
    QStringList menuTitles(int node) {
        QObject* menu = view->rootObject()->property("tasksMenu").value<QObject*>();
        QMetaObject::invokeMethod(menu, "show", Q_ARG(QVariant, node));
        QStringList titles;
        for (const QVariant& entry : menu->property("entries").toList())
            titles << entry.toMap().value(QStringLiteral("title")).toString();
        QMetaObject::invokeMethod(menu, "close");
        return titles;
    }

    static QGuiApplication* application;
    QTemporaryDir data;
    QExContextObject context;
    std::unique_ptr<QQuickView> view;
    QObject* mainLayout = nullptr;
    QObject* kdnViewer = nullptr;
    QObject* replays = nullptr;
};

QGuiApplication* RecordingDrop::application = nullptr;

TEST_F(RecordingDrop, OneThenSeveralFilesJoinTheTreeAndOthersAreRefused) {
    const QDir folder(data.path());
    const QString desk = writeRecording(folder, QStringLiteral("desk.orbrec"), Orb::Tracking::trackingTaskId);
    const QString hall = writeRecording(folder, QStringLiteral("hall.orbrec"), Orb::Tracking::trackingTaskId);
    const QString images = writeRecording(folder, QStringLiteral("images.orbrec"), Orb::Debug::debugTaskId);
    QFile notes(folder.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a recording");
    notes.close();

    ASSERT_TRUE(treeNodes(-1).isEmpty());
    EXPECT_TRUE(drop({desk})) << replays->property("errorText").toString().toStdString();
    QVariantList nodes = treeNodes(2);
    ASSERT_EQ(2, nodes.size()) << "a recording is its root and its recorded node";
    EXPECT_EQ(QStringLiteral("desk.orbrec"), label(nodes[0].toInt()));
    EXPECT_EQ(QStringLiteral("5"), label(nodes[1].toInt()));
    EXPECT_EQ(1, replays->property("replays").value<QList<QObject*>>().size());

    EXPECT_TRUE(drop({hall, images}));
    nodes = treeNodes(6);
    ASSERT_EQ(6, nodes.size());
    EXPECT_EQ(QStringLiteral("hall.orbrec"), label(nodes[2].toInt()));
    EXPECT_EQ(QStringLiteral("images.orbrec"), label(nodes[4].toInt()));
    EXPECT_TRUE(replays->property("errorText").toString().isEmpty());

    // A recorded node offers the viewers of its own task and nothing else; a root offers none.
    const QStringList tracking = menuTitles(nodes[1].toInt());
    EXPECT_TRUE(tracking.contains(QStringLiteral("Tracking Debug")));
    EXPECT_FALSE(tracking.contains(QStringLiteral("Image")));
    EXPECT_EQ(QStringList{QStringLiteral("Image")}, menuTitles(nodes[5].toInt()));
    EXPECT_TRUE(menuTitles(nodes[0].toInt()).isEmpty());

    EXPECT_FALSE(drop({notes.fileName()}));
    EXPECT_EQ(6, treeNodes(-1).size());
    EXPECT_TRUE(replays->property("errorText").toString().contains(QStringLiteral("notes.txt")));
    EXPECT_EQ(3, replays->property("replays").value<QList<QObject*>>().size());
}

// Without a device-network library the tree says so; the text must not cover a recording's
// nodes, at a large and a small window.
TEST_F(RecordingDrop, NoLibraryTextLeavesTheRecordingsNodesClear) {
    ASSERT_TRUE(drop({writeRecording(QDir(data.path()), QStringLiteral("desk.orbrec"), Orb::Tracking::trackingTaskId)}));
    QQuickItem* errorLabel = item(QStringLiteral("treeErrorLabel"));
    ASSERT_NE(nullptr, errorLabel);
    EXPECT_EQ(QStringLiteral("KDN library not loaded"), errorLabel->property("text").toString());
    for (const QSize size : {QSize(1400, 900), QSize(800, 600)}) {
        view->resize(size);
        const QVariantList nodes = treeNodes(2);
        ASSERT_EQ(2, nodes.size());
        const QRectF text = errorLabel->mapRectToScene(errorLabel->boundingRect());
        EXPECT_GT(text.width(), 0.5 * kdnViewer->property("width").toReal()) << "the text is scaled across the panel";
        for (const QVariant& node : nodes)
            for (const QString& part : {QStringLiteral("nodeButton"), QStringLiteral("nodeCaption")}) {
                QQuickItem* drawn = item(part + node.toString());
                ASSERT_NE(nullptr, drawn) << part.toStdString() << node.toInt();
                EXPECT_FALSE(text.intersects(drawn->mapRectToScene(drawn->boundingRect())))
                    << part.toStdString() << " of node " << node.toInt() << " under the text at " << size.width()
                    << "x" << size.height();
            }
    }
}

} // namespace
