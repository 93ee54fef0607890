#include "engine/BasicMeshConstructor.h"

namespace KestrelQt3DEngine {

BasicMeshConstructor::BasicMeshConstructor(QObject* parent) : OpenGlEngineObject(parent) {}

} // namespace KestrelQt3DEngine
