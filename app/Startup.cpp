#include "app/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickView>
#include <QUrl>

#include "app/QExContextObject.h"

namespace OrbDebug {

QString defaultDataFolder() {
#ifdef _WIN32
    return QStringLiteral("C:/OrbDebugData/");
#else
    return QDir::homePath() + QStringLiteral("/OrbDebugData/");
#endif
}

QString dataFolderFromEnvironment(const QProcessEnvironment& environment) {
    const QString folder = environment.value(QLatin1String(dataFolderVariable), defaultDataFolder());
    return folder.isEmpty() ? defaultDataFolder() : folder;
}

bool prepareDataFolder(const QString& dataFolder) {
    QDir current;
    current.mkdir(dataFolder);
    // The folder text followed directly by "Screenshots": with a trailing slash the subfolder,
    // without one a sibling whose name ends in "Screenshots".
    current.mkdir(dataFolder + QLatin1String(screenshotFolderName));
    // The screenshot button saves into the subfolder of the working directory: it must exist
    // whether or not the text ends with a slash.
    current.mkdir(QDir(dataFolder).filePath(QLatin1String(screenshotFolderName)));
    return QDir::setCurrent(dataFolder);
}

void setApplicationAttributes() {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void setApplicationDefaultFont() {
    QGuiApplication::setFont(QFont(QStringLiteral("Arial"), 40));
}

void setApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrel.example"));
    QCoreApplication::setApplicationName(QStringLiteral("OrbDebug"));
}

std::unique_ptr<QQuickView> createMainView() {
    auto view = std::make_unique<QQuickView>();
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    return view;
}

void setContextProperties(QQuickView& view, QExContextObject& context) {
    view.rootContext()->setContextProperty(QStringLiteral("QEx"), &context);
    view.rootContext()->setContextProperty(QStringLiteral("window"), &view);
}

void showMainView(QQuickView& view) {
    view.setSource(QUrl(QLatin1String(mainQmlUrl)));
    view.show();
}

} // namespace OrbDebug
