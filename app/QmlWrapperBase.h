#pragma once
// A QObject holding one value of type T, the base of the QExWrapper* value types that QML
// creates to share a value between components.
//
// Templates cannot carry Q_OBJECT, so each concrete wrapper declares the `value` property and
// its `valueChanged` signal and overrides the change hook to emit it. Every write calls the
// hook, also when the new value equals the old one: QML code relies on the signal as "a value
// was written", not only as "the value differs".

#include <QObject>

#include <utility>

template <class T>
class QmlWrapperBase : public QObject {
public:
    explicit QmlWrapperBase(QObject* parent = nullptr) : QObject(parent) {}

    // Stores the value, then calls the change hook.
    virtual void set(T value) {
        value_ = std::move(value);
        changed();
    }

    // Called after every write.
    virtual void changed() {}

    virtual T get() const { return value_; }

private:
    T value_{};
};
