#pragma once

class QObject;

namespace KestrelQt3DEngine {

// The parts a scene object makes for QML (a material's properties, a mesh's constructors) are
// its QObject children while it uses them. A binding that makes a new part on every change
// would otherwise pile them up under the owner for its whole life.

// A part the owner made and a script received is let go when something replaces it: without a
// parent, the QML collector frees it once no script holds it any more. Parts made or kept by
// C++ code stay where they are.
void releaseReplacedPart(QObject* owner, QObject* replaced);

// A part let go earlier and now taken again becomes the owner's child again, out of the
// collector's reach.
void adoptPart(QObject* owner, QObject* part);

} // namespace KestrelQt3DEngine
