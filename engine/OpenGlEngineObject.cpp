#include "engine/OpenGlEngineObject.h"

namespace KestrelQt3DEngine {

OpenGlEngineObject::OpenGlEngineObject(QObject* parent) : QObject(parent) {}

} // namespace KestrelQt3DEngine
