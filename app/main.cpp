#include <QApplication>
#include <QQuickView>

#include <memory>

#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"

int main(int argc, char* argv[]) {
    using namespace OrbDebug;

    prepareDataFolder(dataFolderFromEnvironment(QProcessEnvironment::systemEnvironment()));
    setApplicationAttributes();
    setApplicationDefaultFont();

    // A widgets application: the plots' chart items draw through the graphics-view framework,
    // which needs one.
    QApplication application(argc, argv);
    setApplicationNames();
    registerQmlTypes();

    // Declared before the view so that it outlives it: QML may still reach QEx while the view
    // is torn down.
    std::unique_ptr<QExContextObject> context;
    std::unique_ptr<QQuickView> view = createMainView();
    context = std::make_unique<QExContextObject>();
    setContextProperties(*view, *context);

    showMainView(*view);
    const int exitCode = application.exec();
    return exitCode;
}
