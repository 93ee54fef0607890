#include "engine/Registration.h"

#include "engine/Anchor2D.h"
#include "engine/LookAtTransform.h"
#include "engine/MatrixTransform.h"
#include "engine/Material.h"
#include "engine/MeshRenderer.h"
#include "engine/OGLTexture.h"
#include "engine/ObjectRepeater.h"
#include "engine/OrthogonalCamera.h"
#include "engine/PerspectiveCamera.h"
#include "engine/PickingMeshRenderer.h"
#include "engine/Quaternion.h"
#include "engine/Raycaster.h"
#include "engine/Shader.h"
#include "engine/TextureConstructors.h"
#include "engine/TextureEnums.h"
#include "engine/Transform.h"
#include "engine/Viewport.h"

#include <QOpenGLTexture>
#include <QtQml>

static void initEngineResources() { Q_INIT_RESOURCE(engine); }

namespace KestrelQt3DEngine {

namespace {

const char* const kUri = "OrbOpenGlEngine";
const char* const kNotCreatable = "Not create this!";

QObject* createQuaternion(QQmlEngine*, QJSEngine*) { return new Quaternion; }

// Pointer types that slots return and QML chains, under both their short and full names.
template <class T>
void registerPointer(const char* shortName, const char* fullName) {
    qRegisterMetaType<T*>(shortName);
    qRegisterMetaType<T*>(fullName);
}

} // namespace

void registerTypes() {
    initEngineResources();
    qRegisterMetaType<QOpenGLTexture*>("QOpenGLTexture*");

    qmlRegisterType<Viewport>(kUri, 1, 0, "Viewport");
    qmlRegisterType<Transform>(kUri, 1, 0, "Transform");
    qmlRegisterType<LookAtTransform>(kUri, 1, 0, "LookAtTransform");
    qmlRegisterType<MatrixTransform>(kUri, 1, 0, "MatrixTransform");
    qmlRegisterType<Shader>(kUri, 1, 0, "Shader");
    qmlRegisterType<Material>(kUri, 1, 0, "Material");
    qmlRegisterType<OGLTexture>(kUri, 1, 0, "OGLTexture");
    qmlRegisterType<MeshRenderer>(kUri, 1, 0, "MeshRenderer");
    qmlRegisterType<ObjectRepeater>(kUri, 1, 0, "ObjectRepeater");
    qmlRegisterType<Container>(kUri, 1, 0, "Container");
    qmlRegisterSingletonType<Quaternion>(kUri, 1, 0, "Quaternion", createQuaternion);
    qmlRegisterType<Raycaster>(kUri, 1, 0, "Raycaster");
    qmlRegisterType<OrthogonalCamera>(kUri, 1, 0, "OrtogonalCamera");
    qmlRegisterType<PerspectiveCamera>(kUri, 1, 0, "PerspectiveCamera");
    registerPointer<MaterialProperties>("MaterialProperties*", "KestrelQt3DEngine::MaterialProperties*");
    qmlRegisterUncreatableType<MaterialProperties>(kUri, 1, 0, "MaterialProperties", kNotCreatable);
    qmlRegisterUncreatableType<TextureFilter>(kUri, 1, 0, "TextureFilter", kNotCreatable);
    qmlRegisterUncreatableType<TextureFormat>(kUri, 1, 0, "TextureFormat", kNotCreatable);
    qmlRegisterUncreatableType<TexturePixelFormat>(kUri, 1, 0, "TexturePixelFormat", kNotCreatable);
    qmlRegisterUncreatableType<TexturePixelType>(kUri, 1, 0, "TexturePixelType", kNotCreatable);
    qmlRegisterType<Anchor2D>(kUri, 1, 0, "Anchor2D");
    qmlRegisterType<Mesh>(kUri, 1, 0, "Mesh");
    registerPointer<LinedMeshConstructor>("LinedMeshConstructor*", "KestrelQt3DEngine::LinedMeshConstructor*");
    registerPointer<TriangledMeshConstructor>("TriangledMeshConstructor*", "KestrelQt3DEngine::TriangledMeshConstructor*");
    qmlRegisterType<PickingMeshRenderer>(kUri, 1, 0, "PickingMeshRenderer");
    registerPointer<BytesTextureConstructor>("BytesTextureConstructor*", "KestrelQt3DEngine::BytesTextureConstructor*");
    registerPointer<ImageTextureConstructor>("ImageTextureConstructor*", "KestrelQt3DEngine::ImageTextureConstructor*");
    registerPointer<RgbaTextureConstructor>("RgbaTextureConstructor*", "KestrelQt3DEngine::RgbaTextureConstructor*");
    qmlRegisterInterface<AbstractTextureConstructor>(kUri, 1);
    qmlRegisterType<BytesTextureConstructor>(kUri, 1, 0, "BytesTextureConstructor");
    qmlRegisterType<ImageTextureConstructor>(kUri, 1, 0, "ImageTextureConstructor");
    qmlRegisterType<RgbaTextureConstructor>(kUri, 1, 0, "RgbaTextureConstructor");
}

} // namespace KestrelQt3DEngine
