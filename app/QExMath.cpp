#include "app/QExMath.h"

QQuaternion QExMath::fromToRotation(const QVector3D& from, const QVector3D& to) const {
    return QQuaternion::rotationTo(from, to);
}
