#pragma once
// The program's start-up, one function per step so that tests can run the steps without an
// event loop. main() calls them in this order:
//
//   1-4   dataFolderFromEnvironment, prepareDataFolder      (before the application exists)
//   5-6   setApplicationAttributes, setApplicationDefaultFont
//   7     the QGuiApplication
//   8     setApplicationNames
//   9     registerQmlTypes (QmlTypeRegistration.h)
//   10-11 createMainView, then the QExContextObject and setContextProperties
//   12    showMainView, then the event loop
//
// The resource bundles (main QML, icon font, ...) register themselves at static
// initialisation, before step 1.

#include <QProcessEnvironment>
#include <QString>

#include <memory>

class QExContextObject;
class QQuickView;

namespace OrbDebug {

inline constexpr char dataFolderVariable[] = "OrbDebugDataPath";
inline constexpr char screenshotFolderName[] = "Screenshots";
inline constexpr char mainQmlUrl[] = "qrc:/main.qml";

// The folder used when the variable is unset or empty, ending in "/".
QString defaultDataFolder();

// Step 1: the data folder named by OrbDebugDataPath, or the default when it is unset or empty.
QString dataFolderFromEnvironment(const QProcessEnvironment& environment);

// Steps 2-4: creates the folder (one level, relative to the current directory), the screenshot
// folder named by the folder text followed directly by "Screenshots" and, when that is a
// sibling (no trailing slash), also the folder's own "Screenshots", where the screenshot button
// saves; then makes the folder the working directory. Failures are ignored: the program then goes on in the
// directory it started in. Returns whether the working directory was changed.
bool prepareDataFolder(const QString& dataFolder);

// Steps 5-6, before the application object exists.
void setApplicationAttributes();
void setApplicationDefaultFont();

// Step 8: the organisation and application names key the persistent window settings.
void setApplicationNames();

// Step 10: the one top-level view, resizing its root item to itself.
std::unique_ptr<QQuickView> createMainView();

// Step 11: the context properties "QEx" and "window".
void setContextProperties(QQuickView& view, QExContextObject& context);

// Step 12 before the event loop: loads "qrc:/main.qml" and shows the view (not maximised).
void showMainView(QQuickView& view);

} // namespace OrbDebug
