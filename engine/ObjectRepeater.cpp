#include "engine/ObjectRepeater.h"

#include <QJSValue>
#include <QQmlContext>
#include <QQuickItem>
#include <QQmlEngine>

namespace KestrelQt3DEngine {

ObjectRepeater::ObjectRepeater(QObject* parent) : Container(parent) {}

ObjectRepeater::~ObjectRepeater() { deleteObjects(); }

void ObjectRepeater::componentComplete() {
    m_complete = true;
    rebuild();
}

void ObjectRepeater::setModel(const QVariant& model) {
    m_model = model.userType() == qMetaTypeId<QJSValue>() ? model.value<QJSValue>().toVariant() : model;
    emit modelChanged();
    if (m_complete)
        rebuild();
}

void ObjectRepeater::setDelegate(QQmlComponent* delegate) {
    if (delegate == m_delegate)
        return;
    m_delegate = delegate;
    emit delegateChanged();
    if (m_complete)
        rebuild();
}

int ObjectRepeater::modelCount() const {
    if (m_model.userType() == QMetaType::QVariantList || m_model.userType() == QMetaType::QStringList)
        return m_model.toList().size();
    bool isNumber = false;
    const int count = m_model.toInt(&isNumber);
    return isNumber ? qMax(0, count) : 0;
}

QVariant ObjectRepeater::modelValue(int index) const {
    if (m_model.userType() == QMetaType::QVariantList || m_model.userType() == QMetaType::QStringList)
        return m_model.toList().value(index);
    return index;
}

QObject* ObjectRepeater::createElement(int index) {
    if (!m_delegate || !parent())
        return nullptr;
    QQmlContext* creationContext = m_delegate->creationContext();
    if (!creationContext)
        creationContext = qmlContext(this);
    auto* context = new QQmlContext(creationContext);
    context->setContextProperty("index", index);
    context->setContextProperty("model", modelValue(index));
    QObject* object = m_delegate->beginCreate(context);
    if (!object) {
        delete context;
        return nullptr;
    }
    object->setParent(parent());
    if (auto* item = qobject_cast<QQuickItem*>(object); item && qobject_cast<QQuickItem*>(parent()))
        item->setParentItem(qobject_cast<QQuickItem*>(parent()));
    context->setParent(object);
    m_delegate->completeCreate();
    m_objects.append(object);
    m_contexts.append(context);
    return object;
}

void ObjectRepeater::rebuild() {
    deleteObjects();
    const int count = modelCount();
    for (int i = 0; i < count; ++i)
        createElement(i);
    emit elementsCountChanged();
}

void ObjectRepeater::renumber() {
    for (int i = 0; i < m_contexts.size(); ++i) {
        if (QQmlContext* context = m_contexts[i].data())
            context->setContextProperty("index", i);
    }
}

QObject* ObjectRepeater::objectAt(int index) const { return m_objects.value(index).data(); }

void ObjectRepeater::deleteObject(int index) { deleteObjectsRange(index, index + 1); }

void ObjectRepeater::deleteObjectsRange(int start, int end) {
    if (end < 0 || end > m_objects.size())
        end = m_objects.size();
    start = qMax(0, start);
    if (start >= end)
        return;
    for (int i = start; i < end; ++i)
        delete m_objects[i].data();
    m_objects.erase(m_objects.begin() + start, m_objects.begin() + end);
    m_contexts.erase(m_contexts.begin() + start, m_contexts.begin() + end);
    renumber();
    emit elementsCountChanged();
}

void ObjectRepeater::deleteObjects() {
    if (m_objects.isEmpty())
        return;
    for (const QPointer<QObject>& object : m_objects)
        delete object.data();
    m_objects.clear();
    m_contexts.clear();
    emit elementsCountChanged();
}

bool ObjectRepeater::addObject(const QVariant& object) {
    if (!parent())
        return false;
    const QVariant value = object.userType() == qMetaTypeId<QJSValue>() ? object.value<QJSValue>().toVariant() : object;
    if (m_model.userType() == QMetaType::QVariantList || !m_model.isValid()) {
        QVariantList list = m_model.toList();
        list.append(value);
        m_model = list;
    } else {
        m_model = modelCount() + 1;
    }
    emit modelChanged();
    createElement(m_objects.size());
    emit elementsCountChanged();
    return true;
}

int ObjectRepeater::getElementsCount() const { return m_objects.size(); }

void ObjectRepeater::update(const QString&) {
    for (int i = 0; i < m_contexts.size(); ++i) {
        if (QQmlContext* context = m_contexts[i].data())
            context->setContextProperty("model", modelValue(i));
    }
}

} // namespace KestrelQt3DEngine
