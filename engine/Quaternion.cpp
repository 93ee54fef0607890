#include "engine/Quaternion.h"

#include <QMatrix4x4>

namespace KestrelQt3DEngine {

namespace {
float f(qreal value) { return static_cast<float>(value); }
} // namespace

Quaternion::Quaternion(QObject* parent) : QObject(parent) {}

QQuaternion Quaternion::create(qreal scalar, qreal x, qreal y, qreal z) const { return QQuaternion(f(scalar), f(x), f(y), f(z)); }
QQuaternion Quaternion::create(qreal scalar, const QVector3D& vector) const { return QQuaternion(f(scalar), vector); }
QQuaternion Quaternion::create(const QVector4D& vector) const { return QQuaternion(vector); }

QQuaternion Quaternion::fromAxes(const QVector3D& xAxis, const QVector3D& yAxis, const QVector3D& zAxis) const {
    return QQuaternion::fromAxes(xAxis, yAxis, zAxis);
}

QQuaternion Quaternion::fromAxisAndAngle(const QVector3D& axis, qreal angle) const {
    return QQuaternion::fromAxisAndAngle(axis, f(angle));
}

QQuaternion Quaternion::fromAxisAndAngle(qreal x, qreal y, qreal z, qreal angle) const {
    return QQuaternion::fromAxisAndAngle(f(x), f(y), f(z), f(angle));
}

QQuaternion Quaternion::fromDirection(const QVector3D& direction, const QVector3D& up) const {
    return QQuaternion::fromDirection(direction, up);
}

QQuaternion Quaternion::fromEulerAngles(qreal pitch, qreal yaw, qreal roll) const {
    return QQuaternion::fromEulerAngles(f(pitch), f(yaw), f(roll));
}

QQuaternion Quaternion::fromEulerAngles(const QVector3D& eulerAngles) const { return QQuaternion::fromEulerAngles(eulerAngles); }

QQuaternion Quaternion::fromRotationMatrix(const QMatrix4x4& rot3x3) const {
    return QQuaternion::fromRotationMatrix(rot3x3.toGenericMatrix<3, 3>());
}

QQuaternion Quaternion::nlerp(const QQuaternion& q1, const QQuaternion& q2, qreal t) const { return QQuaternion::nlerp(q1, q2, f(t)); }

QQuaternion Quaternion::rotationTo(const QVector3D& from, const QVector3D& to) const { return QQuaternion::rotationTo(from, to); }

QQuaternion Quaternion::slerp(const QQuaternion& q1, const QQuaternion& q2, qreal t) const { return QQuaternion::slerp(q1, q2, f(t)); }

QQuaternion Quaternion::multiply(const QQuaternion& q1, const QQuaternion& q2) const { return q1 * q2; }
QQuaternion Quaternion::multiply(const QQuaternion& q, qreal factor) const { return q * f(factor); }
QVector3D Quaternion::multiply(const QQuaternion& q, const QVector3D& vector) const { return q * vector; }
QQuaternion Quaternion::add(const QQuaternion& q1, const QQuaternion& q2) const { return q1 + q2; }
QQuaternion Quaternion::substract(const QQuaternion& q1, const QQuaternion& q2) const { return q1 - q2; }
QQuaternion Quaternion::conjugate(const QQuaternion& q) const { return q.conjugated(); }
QQuaternion Quaternion::invert(const QQuaternion& q) const { return q.inverted(); }
qreal Quaternion::getLength(const QQuaternion& q) const { return q.length(); }
qreal Quaternion::getSquaredLength(const QQuaternion& q) const { return q.lengthSquared(); }
QQuaternion Quaternion::normalize(const QQuaternion& q) const { return q.normalized(); }
QVector3D Quaternion::getRotatedVector(const QQuaternion& q, const QVector3D& vector) const { return q.rotatedVector(vector); }
QVector3D Quaternion::toEulerAngles(const QQuaternion& q) const { return q.toEulerAngles(); }

QMatrix4x4 Quaternion::toRotationMatrix(const QQuaternion& q) const { return QMatrix4x4(q.toRotationMatrix()); }

QVector3D Quaternion::getVector(const QQuaternion& q) const { return q.vector(); }
QVector4D Quaternion::toVector4D(const QQuaternion& q) const { return q.toVector4D(); }
bool Quaternion::equal(const QQuaternion& q1, const QQuaternion& q2) const { return qFuzzyCompare(q1, q2); }

} // namespace KestrelQt3DEngine
