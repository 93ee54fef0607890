#include "viewers/SessionHealthPaintedItem.h"

SessionHealthPaintedItem::SessionHealthPaintedItem(QQuickItem* parent) : QQuickPaintedItem(parent) {}

void SessionHealthPaintedItem::setModel(SessionHealthModel* model) {
    if (model_ == model)
        return;
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_)
        connect(model_, &SessionHealthModel::roomChanged, this, [this] { update(); });
    emit modelChanged();
    update();
}
