#pragma once
// Vector and rotation helpers for QML, reached as QEx.math.

#include <QObject>
#include <QQuaternion>
#include <QVector3D>

class QExMath : public QObject {
    Q_OBJECT
public:
    explicit QExMath(QObject* parent = nullptr) : QObject(parent) {}

    // The shortest-arc rotation turning direction `from` into direction `to`. The lengths of
    // the arguments do not matter; opposite directions give a half turn about some axis
    // perpendicular to `from`.
    Q_INVOKABLE QQuaternion fromToRotation(const QVector3D& from, const QVector3D& to) const;
};
