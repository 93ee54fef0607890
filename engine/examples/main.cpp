// Shows a QML scene of the engine in a window:
//     engine_demo [scene.qml] [--grab FILE.png [--after MS]]
// Without a file it shows the built-in demo scene. --grab writes a screenshot of the window
// after the given delay (default 1500 ms) and quits.
#include "engine/Registration.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QTimer>
#include <QDir>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    KestrelQt3DEngine::registerTypes();
    Q_INIT_RESOURCE(examples);

    QUrl scene(QStringLiteral("qrc:/examples/EngineDemo.qml"));
    QString grabFile;
    int grabDelay = 1500;
    const QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--grab" && i + 1 < arguments.size())
            grabFile = arguments[++i];
        else if (arguments[i] == "--after" && i + 1 < arguments.size())
            grabDelay = arguments[++i].toInt();
        else
            scene = QUrl::fromUserInput(arguments[i], QDir::currentPath());
    }

    QQuickView view;
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setSource(scene);
    if (view.status() != QQuickView::Ready)
        return 1;
    view.show();
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(grabDelay, &view, [&] {
            const bool saved = view.grabWindow().save(grabFile);
            std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(grabFile));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
