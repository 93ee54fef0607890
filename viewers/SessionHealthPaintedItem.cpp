#include "viewers/SessionHealthPaintedItem.h"

#include <QQuickWindow>

#include "engine/ThreadHandOff.h"

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

void SessionHealthPaintedItem::itemChange(ItemChange change, const ItemChangeData& data) {
    if (change == ItemSceneChange) {
        disconnect(handOff_);
        if (data.window)
            handOff_ = connect(data.window, &QQuickWindow::afterAnimating, this, [this] { KestrelQt3DEngine::handOff(this); },
                               Qt::DirectConnection);
    }
    QQuickPaintedItem::itemChange(change, data);
}
