// Steps 5-12 of start-up in their order, up to the event loop, which is not run.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>

#include "GuiTestPlatform.h"
#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"

using namespace OrbDebug;

TEST(StartUp, StepsFiveToTwelve) {
    chooseTestPlatform();

    setApplicationAttributes();
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling));
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));

    setApplicationDefaultFont();
    int argc = 1;
    char name[] = "startup_sequence_test";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    // The font set before the application exists survives its creation.
    const QFont font = QGuiApplication::font();
    EXPECT_EQ("Arial", font.family());
    EXPECT_EQ(40, font.pointSize());
    EXPECT_EQ(QFont::Normal, font.weight());
    EXPECT_FALSE(font.italic());

    setApplicationNames();
    EXPECT_EQ("Kestrel", QCoreApplication::organizationName());
    EXPECT_EQ("OrbDebug", QCoreApplication::applicationName());
    EXPECT_FALSE(QCoreApplication::organizationDomain().isEmpty());

    registerQmlTypes();

    std::unique_ptr<QQuickView> view = createMainView();
    ASSERT_TRUE(view);
    EXPECT_EQ(QQuickView::SizeRootObjectToView, view->resizeMode());

    QExContextObject context;
    EXPECT_EQ(nullptr, context.parent());
    setContextProperties(*view, context);
    QQmlContext* root = view->rootContext();
    EXPECT_EQ(&context, root->contextProperty("QEx").value<QObject*>());
    EXPECT_EQ(view.get(), root->contextProperty("window").value<QObject*>());

    showMainView(*view);
    for (const QQmlError& error : view->errors())
        ADD_FAILURE() << error.toString().toStdString();
    EXPECT_EQ(QQuickView::Ready, view->status());
    EXPECT_EQ(QUrl("qrc:/main.qml"), view->source());
    ASSERT_NE(nullptr, view->rootObject());
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(view->windowStates() & Qt::WindowMaximized);
    // The root item follows the view's size.
    EXPECT_EQ(view->width(), int(view->rootObject()->width()));
    EXPECT_EQ(view->height(), int(view->rootObject()->height()));
}
