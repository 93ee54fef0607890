#pragma once
#include <QMatrix3x3>
#include <QObject>
#include <QQuaternion>
#include <QVariant>
#include <QVector3D>
#include <QVector4D>

namespace KestrelQt3DEngine {

// Quaternion arithmetic for QML, each slot a direct call of the QQuaternion operation
// (angles in degrees). Registered as a singleton.
class Quaternion : public QObject {
    Q_OBJECT
public:
    explicit Quaternion(QObject* parent = nullptr);

    Q_INVOKABLE QQuaternion create(qreal scalar, qreal x, qreal y, qreal z) const;
    Q_INVOKABLE QQuaternion create(qreal scalar, const QVector3D& vector) const;
    Q_INVOKABLE QQuaternion create(const QVector4D& vector) const;
    Q_INVOKABLE QQuaternion fromAxes(const QVector3D& xAxis, const QVector3D& yAxis, const QVector3D& zAxis) const;
    Q_INVOKABLE QQuaternion fromAxisAndAngle(const QVector3D& axis, qreal angle) const;
    Q_INVOKABLE QQuaternion fromAxisAndAngle(qreal x, qreal y, qreal z, qreal angle) const;
    Q_INVOKABLE QQuaternion fromDirection(const QVector3D& direction, const QVector3D& up) const;
    Q_INVOKABLE QQuaternion fromEulerAngles(qreal pitch, qreal yaw, qreal roll) const;
    Q_INVOKABLE QQuaternion fromEulerAngles(const QVector3D& eulerAngles) const;
    // rot3x3 is a 4x4 matrix whose upper-left 3x3 holds the rotation (QML has no 3x3 type).
    Q_INVOKABLE QQuaternion fromRotationMatrix(const QMatrix4x4& rot3x3) const;
    Q_INVOKABLE QQuaternion nlerp(const QQuaternion& q1, const QQuaternion& q2, qreal t) const;
    Q_INVOKABLE QQuaternion rotationTo(const QVector3D& from, const QVector3D& to) const;
    Q_INVOKABLE QQuaternion slerp(const QQuaternion& q1, const QQuaternion& q2, qreal t) const;
    Q_INVOKABLE QQuaternion multiply(const QQuaternion& q1, const QQuaternion& q2) const;
    Q_INVOKABLE QQuaternion multiply(const QQuaternion& q, qreal factor) const;
    Q_INVOKABLE QVector3D multiply(const QQuaternion& q, const QVector3D& vector) const;
    Q_INVOKABLE QQuaternion add(const QQuaternion& q1, const QQuaternion& q2) const;
    Q_INVOKABLE QQuaternion substract(const QQuaternion& q1, const QQuaternion& q2) const;
    Q_INVOKABLE QQuaternion conjugate(const QQuaternion& q) const;
    Q_INVOKABLE QQuaternion invert(const QQuaternion& q) const;
    Q_INVOKABLE qreal getLength(const QQuaternion& q) const;
    Q_INVOKABLE qreal getSquaredLength(const QQuaternion& q) const;
    Q_INVOKABLE QQuaternion normalize(const QQuaternion& q) const;
    Q_INVOKABLE QVector3D getRotatedVector(const QQuaternion& q, const QVector3D& vector) const;
    Q_INVOKABLE QVector3D toEulerAngles(const QQuaternion& q) const;
    Q_INVOKABLE QMatrix4x4 toRotationMatrix(const QQuaternion& q) const;
    Q_INVOKABLE QVector3D getVector(const QQuaternion& q) const;
    Q_INVOKABLE QVector4D toVector4D(const QQuaternion& q) const;
    Q_INVOKABLE bool equal(const QQuaternion& q1, const QQuaternion& q2) const;
};

} // namespace KestrelQt3DEngine
