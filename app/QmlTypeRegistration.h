#pragma once

namespace OrbDebug {

// Registers every native QML type of the program, in a fixed order: module orb 1.0, module
// QEx 1.0, then the scene engine's module OrbOpenGlEngine 1.0.
void registerQmlTypes();

} // namespace OrbDebug
