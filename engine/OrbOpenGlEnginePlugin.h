#pragma once
#include <QQmlExtensionPlugin>

namespace KestrelQt3DEngine {

// The engine as a QML extension plug-in, for hosts that load it by URI. It registers the core
// scene types; the program itself uses registerTypes() instead.
class OrbOpenGlEnginePlugin : public QQmlExtensionPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QQmlExtensionInterface")
public:
    explicit OrbOpenGlEnginePlugin(QObject* parent = nullptr);
    void registerTypes(const char* uri) override;
};

} // namespace KestrelQt3DEngine
