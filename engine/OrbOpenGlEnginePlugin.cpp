#include "engine/OrbOpenGlEnginePlugin.h"

#include "engine/Container.h"
#include "engine/LookAtTransform.h"
#include "engine/Material.h"
#include "engine/MeshRenderer.h"
#include "engine/OGLTexture.h"
#include "engine/ObjectRepeater.h"
#include "engine/OrthogonalCamera.h"
#include "engine/PerspectiveCamera.h"
#include "engine/Quaternion.h"
#include "engine/Raycaster.h"
#include "engine/Shader.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QtQml>

namespace KestrelQt3DEngine {

namespace {
QObject* createQuaternion(QQmlEngine*, QJSEngine*) { return new Quaternion; }
} // namespace

OrbOpenGlEnginePlugin::OrbOpenGlEnginePlugin(QObject* parent) : QQmlExtensionPlugin(parent) {}

void OrbOpenGlEnginePlugin::registerTypes(const char* uri) {
    qmlRegisterType<Viewport>(uri, 1, 0, "Viewport");
    qmlRegisterType<Transform>(uri, 1, 0, "Transform");
    qmlRegisterType<LookAtTransform>(uri, 1, 0, "LookAtTransform");
    qmlRegisterType<Shader>(uri, 1, 0, "Shader");
    qmlRegisterType<Material>(uri, 1, 0, "Material");
    qmlRegisterType<OGLTexture>(uri, 1, 0, "OGLTexture");
    qmlRegisterType<MeshRenderer>(uri, 1, 0, "MeshRenderer");
    qmlRegisterType<ObjectRepeater>(uri, 1, 0, "ObjectRepeater");
    qmlRegisterType<Container>(uri, 1, 0, "Container");
    qmlRegisterSingletonType<Quaternion>(uri, 1, 0, "Quaternion", createQuaternion);
    qmlRegisterType<Raycaster>(uri, 1, 0, "Raycaster");
    qmlRegisterType<OrthogonalCamera>(uri, 1, 0, "OrtogonalCamera");
    qmlRegisterType<PerspectiveCamera>(uri, 1, 0, "PerspectiveCamera");
}

} // namespace KestrelQt3DEngine
