#pragma once

namespace KestrelQt3DEngine {

// Registers every engine type in the QML module "OrbOpenGlEngine" 1.0 and the engine's QML
// import folder "qrc:/OpenGlEngine/imports". Call once before the main QML file is loaded.
void registerTypes();

} // namespace KestrelQt3DEngine
