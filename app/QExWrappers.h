#pragma once
// The five value wrappers registered in QML module QEx 1.0. Each holds one value (initially
// zero, false or empty) and emits valueChanged on every write, equal values included.

#include <QString>
#include <QVector3D>

#include "app/QmlWrapperBase.h"

class QExWrapperInteger : public QmlWrapperBase<int> {
    Q_OBJECT
    Q_PROPERTY(int value READ get WRITE set NOTIFY valueChanged)
public:
    explicit QExWrapperInteger(QObject* parent = nullptr) : QmlWrapperBase(parent) {}
    void changed() override { emit valueChanged(); }
signals:
    void valueChanged();
};

class QExWrapperBool : public QmlWrapperBase<bool> {
    Q_OBJECT
    Q_PROPERTY(bool value READ get WRITE set NOTIFY valueChanged)
public:
    explicit QExWrapperBool(QObject* parent = nullptr) : QmlWrapperBase(parent) {}
    void changed() override { emit valueChanged(); }
signals:
    void valueChanged();
};

class QExWrapperDouble : public QmlWrapperBase<double> {
    Q_OBJECT
    Q_PROPERTY(double value READ get WRITE set NOTIFY valueChanged)
public:
    explicit QExWrapperDouble(QObject* parent = nullptr) : QmlWrapperBase(parent) {}
    void changed() override { emit valueChanged(); }
signals:
    void valueChanged();
};

class QExWrapperQString : public QmlWrapperBase<QString> {
    Q_OBJECT
    Q_PROPERTY(QString value READ get WRITE set NOTIFY valueChanged)
public:
    explicit QExWrapperQString(QObject* parent = nullptr) : QmlWrapperBase(parent) {}
    void changed() override { emit valueChanged(); }
signals:
    void valueChanged();
};

class QExWrapperQVector3D : public QmlWrapperBase<QVector3D> {
    Q_OBJECT
    Q_PROPERTY(QVector3D value READ get WRITE set NOTIFY valueChanged)
public:
    explicit QExWrapperQVector3D(QObject* parent = nullptr) : QmlWrapperBase(parent) {}
    void changed() override { emit valueChanged(); }
signals:
    void valueChanged();
};
