#include "engine/Transform.h"

namespace KestrelQt3DEngine {

Transform::Transform(QObject* parent) : LPRSTransform(parent) {}

} // namespace KestrelQt3DEngine
