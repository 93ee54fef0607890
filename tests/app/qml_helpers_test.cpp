// The QML helper objects: value wrappers, QEx.math, the QEx context object and the icon
// font bundle, from C++ and from QML.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>
#include <memory>

#include "GuiTestPlatform.h"
#include "app/QExContextObject.h"
#include "app/QExWrappers.h"
#include "app/QmlTypeRegistration.h"

namespace {

class GuiApplication : public ::testing::Environment {
public:
    void SetUp() override {
        chooseTestPlatform();
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
        OrbDebug::registerQmlTypes();
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "qml_helpers";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiApplication);

// Creates a QML object from text in an engine that has the "QEx" context property.
class Qml : public ::testing::Test {
protected:
    Qml() { engine_.rootContext()->setContextProperty("QEx", &context_); }

    std::unique_ptr<QObject> create(const QByteArray& source) {
        QQmlComponent component(&engine_);
        component.setData(source, QUrl("qrc:/test.qml"));
        std::unique_ptr<QObject> object(component.create());
        for (const QQmlError& error : component.errors())
            ADD_FAILURE() << error.toString().toStdString();
        return object;
    }

    QExContextObject context_;
    QQmlEngine engine_;
};

template <class Wrapper, class T>
void expectSignalOnEveryWrite(const T& first, const T& second) {
    Wrapper wrapper;
    QSignalSpy spy(&wrapper, &Wrapper::valueChanged);
    wrapper.set(first);
    wrapper.set(first);
    EXPECT_EQ(2, spy.count());
    EXPECT_EQ(first, wrapper.get());
    EXPECT_TRUE(wrapper.setProperty("value", QVariant::fromValue(second)));
    EXPECT_TRUE(wrapper.setProperty("value", QVariant::fromValue(second)));
    EXPECT_EQ(4, spy.count());
    EXPECT_EQ(second, wrapper.property("value").template value<T>());
}

} // namespace

TEST(Wrappers, StartZeroFalseOrEmpty) {
    EXPECT_EQ(0, QExWrapperInteger().get());
    EXPECT_FALSE(QExWrapperBool().get());
    EXPECT_EQ(0.0, QExWrapperDouble().get());
    EXPECT_TRUE(QExWrapperQString().get().isEmpty());
    EXPECT_EQ(QVector3D(0, 0, 0), QExWrapperQVector3D().get());
}

TEST(Wrappers, EveryWriteEmitsValueChangedEvenWhenEqual) {
    expectSignalOnEveryWrite<QExWrapperInteger>(7, -3);
    expectSignalOnEveryWrite<QExWrapperBool>(true, false);
    expectSignalOnEveryWrite<QExWrapperDouble>(0.25, -1e300);
    expectSignalOnEveryWrite<QExWrapperQString>(QString("a"), QString());
    expectSignalOnEveryWrite<QExWrapperQVector3D>(QVector3D(1, 2, 3), QVector3D(0, 0, 0));
}

TEST(Wrappers, WritingTheSameValueTwiceInitiallyStillSignals) {
    QExWrapperInteger wrapper;
    QSignalSpy spy(&wrapper, &QExWrapperInteger::valueChanged);
    wrapper.set(0);
    EXPECT_EQ(1, spy.count());
}

TEST_F(Qml, WrappersAreCreatableAndSignalEqualWrites) {
    auto object = create(R"(
        import QtQuick 2.15
        import QEx 1.0
        QtObject {
            property int changes: 0
            property QExWrapperInteger integer: QExWrapperInteger { onValueChanged: changes++ }
            property QExWrapperBool flag: QExWrapperBool {}
            property QExWrapperDouble number: QExWrapperDouble {}
            property QExWrapperQString text: QExWrapperQString {}
            property QExWrapperQVector3D vector: QExWrapperQVector3D {}
            property bool initialOk: integer.value === 0 && flag.value === false && number.value === 0
                                     && text.value === "" && vector.value === Qt.vector3d(0, 0, 0)
            function writeTwice() { integer.value = 5; integer.value = 5; return integer.value }
        })");
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->property("initialOk").toBool());
    QVariant result;
    ASSERT_TRUE(QMetaObject::invokeMethod(object.get(), "writeTwice", Q_RETURN_ARG(QVariant, result)));
    EXPECT_EQ(5, result.toInt());
    EXPECT_EQ(2, object->property("changes").toInt());
}

// Expected values for a 90 degree turn about +Z: scalar cos(45°), vector (0, 0, sin(45°)).
TEST(QExMath, XOntoYIsAQuarterTurnAboutZ) {
    const float half = 0.70710678f;
    QExMath math;
    for (const QVector3D& scale : {QVector3D(1, 1, 1), QVector3D(2, 3, 1), QVector3D(0.001f, 100, 1)}) {
        const QQuaternion q = math.fromToRotation(QVector3D(scale.x(), 0, 0), QVector3D(0, scale.y(), 0));
        EXPECT_NEAR(half, q.scalar(), 1e-6);
        EXPECT_NEAR(0.0, q.x(), 1e-6);
        EXPECT_NEAR(0.0, q.y(), 1e-6);
        EXPECT_NEAR(half, q.z(), 1e-6);
    }
}

TEST(QExMath, SameAndOppositeDirections) {
    QExMath math;
    const QQuaternion same = math.fromToRotation(QVector3D(0, 0, 2), QVector3D(0, 0, 5));
    EXPECT_NEAR(1.0, std::abs(same.scalar()), 1e-6);

    // A half turn: the scalar part is 0 and x is carried onto -x.
    const QQuaternion opposite = math.fromToRotation(QVector3D(1, 0, 0), QVector3D(-1, 0, 0));
    EXPECT_NEAR(0.0, opposite.scalar(), 1e-6);
    EXPECT_NEAR(1.0, opposite.length(), 1e-6);
    const QVector3D turned = opposite.rotatedVector(QVector3D(1, 0, 0));
    EXPECT_NEAR(-1.0, turned.x(), 1e-6);
    EXPECT_NEAR(0.0, turned.y(), 1e-6);
    EXPECT_NEAR(0.0, turned.z(), 1e-6);
}

TEST_F(Qml, MathIsReachedThroughQEx) {
    auto object = create(R"(
        import QtQuick 2.15
        QtObject {
            property quaternion q: QEx.math.fromToRotation(Qt.vector3d(1, 0, 0), Qt.vector3d(0, 1, 0))
        })");
    ASSERT_TRUE(object);
    const QQuaternion q = object->property("q").value<QQuaternion>();
    EXPECT_NEAR(0.70710678, q.scalar(), 1e-6);
    EXPECT_NEAR(0.70710678, q.z(), 1e-6);
    EXPECT_NEAR(0.0, q.x(), 1e-6);
    EXPECT_NEAR(0.0, q.y(), 1e-6);
}

TEST_F(Qml, EnvironmentVariables) {
    qunsetenv("ORB_TEST_NEVER_SET");
    qputenv("ORB_TEST_SET", "value 1");
    qputenv("OrbDebugDataPath", "/not/this/one");
    qunsetenv("OrbDebugPath");

    EXPECT_TRUE(context_.getEnvironmentVariable("ORB_TEST_NEVER_SET").isEmpty());
    EXPECT_EQ("value 1", context_.getEnvironmentVariable("ORB_TEST_SET"));
    EXPECT_TRUE(context_.getOrbDebugPath().isEmpty());
    qputenv("OrbDebugPath", "/tools/orb");
    EXPECT_EQ("/tools/orb", context_.getOrbDebugPath());

    auto object = create(R"(
        import QtQml 2.15
        QtObject {
            property bool missingIsEmptyString: QEx.getEnvironmentVariable("ORB_TEST_NEVER_SET") === ""
            property string set: QEx.getEnvironmentVariable("ORB_TEST_SET")
            property string orbDebugPath: QEx.getOrbDebugPath()
        })");
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->property("missingIsEmptyString").toBool());
    EXPECT_EQ("value 1", object->property("set").toString());
    EXPECT_EQ("/tools/orb", object->property("orbDebugPath").toString());
    qunsetenv("OrbDebugDataPath");
    qunsetenv("OrbDebugPath");
    qunsetenv("ORB_TEST_SET");
}

#ifndef _WIN32
namespace {
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};
} // namespace

TEST_F(Qml, ShellExecuteOpensWithTheDesktop) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString start = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const QString current = QDir::currentPath();

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    context_.shellExecute();
    context_.shellExecute("notes.txt");
    context_.shellExecute("/elsewhere/file.png", "explore");
    auto object = create(R"(
        import QtQml 2.15
        QtObject { Component.onCompleted: QEx.shellExecute() })");
    QDesktopServices::unsetUrlHandler("file");
    QDir::setCurrent(start);

    ASSERT_EQ(4, recorder.urls.size());
    EXPECT_EQ(QUrl::fromLocalFile(current), recorder.urls[0]);
    EXPECT_EQ(QUrl::fromLocalFile(current + "/notes.txt"), recorder.urls[1]);
    EXPECT_EQ(QUrl::fromLocalFile("/elsewhere/file.png"), recorder.urls[2]);
    EXPECT_EQ(QUrl::fromLocalFile(current), recorder.urls[3]);
}
#endif

namespace {
QStringList debugLines;
void collectDebugLines(QtMsgType, const QMessageLogContext&, const QString& message) {
    debugLines.append(message);
}
} // namespace

TEST_F(Qml, CaptureWindowToFileSavesAndReports) {
    if (QGuiApplication::platformName() == "offscreen")
        GTEST_SKIP() << "grabbing a window needs a display (run under xvfb-run)";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QQuickWindow window;
    window.setColor(QColor(200, 30, 40));
    window.resize(64, 48);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectDebugLines);
    context_.captureWindowToFile(&window, folder.filePath("shot.png"));
    context_.captureWindowToFile(nullptr, folder.filePath("none.png"));
    context_.captureWindowToFile(&window, folder.filePath("missing-folder/shot.png"));
    qInstallMessageHandler(previous);

    ASSERT_EQ(6, debugLines.size());
    EXPECT_TRUE(debugLines[0].startsWith("captureWindowToFile QQuickWindow")) << debugLines[0].toStdString();
    EXPECT_EQ("true", debugLines[1].toStdString());
    EXPECT_EQ("captureWindowToFile QQuickWindow(0)", debugLines[2].toStdString());
    EXPECT_EQ("false", debugLines[3].toStdString());
    EXPECT_EQ("false", debugLines[5].toStdString());
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("none.png")));

    const QImage image(folder.filePath("shot.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(QSize(64, 48) * window.devicePixelRatio(), image.size());
    EXPECT_EQ(QColor(200, 30, 40), image.pixelColor(image.width() / 2, image.height() / 2));
}

TEST_F(Qml, IconScriptMapsNamesToGlyphs) {
    // Code points as written in the font package's CSS, e.g. .mdi-settings::before { content: "\F493" }.
    auto object = create(R"(
        import QtQuick 2.15
        import "qrc:/MaterialDesignIcons/MaterialDesignIcons.js" as MaterialDesignIcons
        Item {
            property var icons: MaterialDesignIcons.icons
            property int count: Object.keys(icons).length
            property string settings: icons.settings
            property string poop: icons.emoticon_poop
            property string cellphone: icons.monitor_cellphone
            property bool hasDashedName: icons["monitor-cellphone"] !== undefined
            property FontLoader font: FontLoader { source: "qrc:/MaterialDesignIcons/MaterialDesignIconsFont.ttf" }
        })");
    ASSERT_TRUE(object);
    EXPECT_EQ(3998, object->property("count").toInt());
    EXPECT_EQ(QString(QChar(0xF493)), object->property("settings").toString());
    EXPECT_EQ(QString(QChar(0xF1F7)), object->property("poop").toString());
    EXPECT_EQ(QString(QChar(0xF988)), object->property("cellphone").toString());
    EXPECT_FALSE(object->property("hasDashedName").toBool());
    QObject* font = object->property("font").value<QObject*>();
    ASSERT_NE(nullptr, font);
    EXPECT_EQ("Material Design Icons", font->property("name").toString());
}

#include "qml_helpers_test.moc"
