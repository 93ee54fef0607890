#pragma once
#include "engine/Container.h"

#include <QList>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlParserStatus>
#include <QVariant>

namespace KestrelQt3DEngine {

// Creates one object from the delegate per model element (a list of values or a count). The
// objects join the scene beside the repeater: their QObject parent is the repeater's parent.
// Each sees the context properties "index" and "model".
class ObjectRepeater : public Container, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QVariant model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QQmlComponent* delegate READ delegate WRITE setDelegate NOTIFY delegateChanged)
public:
    explicit ObjectRepeater(QObject* parent = nullptr);
    ~ObjectRepeater() override;

    QVariant model() const { return m_model; }
    void setModel(const QVariant& model);
    QQmlComponent* delegate() const { return m_delegate.data(); }
    void setDelegate(QQmlComponent* delegate);

    Q_INVOKABLE QObject* objectAt(int index) const;
    Q_INVOKABLE void deleteObject(int index);
    // Deletes the objects from start up to, not including, end (-1: to the last).
    Q_INVOKABLE void deleteObjectsRange(int start, int end = -1);
    Q_INVOKABLE void deleteObjects();
    // Appends the value to a list model (or counts one more) and creates its object; false
    // without a QObject parent to put it under.
    Q_INVOKABLE bool addObject(const QVariant& object);
    Q_INVOKABLE int getElementsCount() const;
    // Hands every object its current model value again (after the model list was changed in
    // place); propertyName is accepted for callers that name the changed field.
    Q_INVOKABLE void update(const QString& propertyName = QString());

    void classBegin() override {}
    void componentComplete() override;

signals:
    void modelChanged();
    void delegateChanged();
    void elementsCountChanged();

private:
    int modelCount() const;
    QVariant modelValue(int index) const;
    QObject* createElement(int index);
    void rebuild();
    void renumber();

    QVariant m_model;
    QPointer<QQmlComponent> m_delegate;
    QList<QPointer<QObject>> m_objects;
    QList<QPointer<QQmlContext>> m_contexts;  // the context of each object, owned by it
    bool m_complete = false;
};

} // namespace KestrelQt3DEngine
