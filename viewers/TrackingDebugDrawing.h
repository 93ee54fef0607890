#pragma once
// Small conversions shared by the Tracking Debug pages: tracking values to the engine's Qt
// vectors and quaternions, and 2D points laid into the XZ plane.

#include <QColor>
#include <cmath>
#include <QQuaternion>
#include <QVector3D>

#include "tracking/environments/EnvironmentTypes.h"

namespace TrackingDebug {

inline QVector3D toQt(const Kestrel::Orb::Tracking::Vec3f& v) { return QVector3D(v[0], v[1], v[2]); }
inline QQuaternion toQt(const Kestrel::Orb::Tracking::Quatf& q) { return QQuaternion(q.w, q.x, q.y, q.z); }
// A 2D point (u, v) drawn at (u, 0, v).
inline QVector3D flat(const Kestrel::Orb::Tracking::Vec2f& p) { return QVector3D(p[0], 0, p[1]); }

inline bool isFinite(const QVector3D& v) {
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// Circles on the pages lie in the XZ plane.
inline const QVector3D floorNormal(0, 1, 0);

} // namespace TrackingDebug
