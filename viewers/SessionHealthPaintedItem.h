#pragma once
// A painted item of the Session Health viewer that draws from the viewer's model: holds the
// model and repaints whenever the model's room figures (markers, stray sources, heat map) change.
// paint() runs on the render thread while the GUI thread waits in the window's synchronisation,
// whose lock ThreadSanitizer does not see: each frame hands the item over just before that
// synchronisation, and a paint() of a subclass begins with takeOver(this) (engine/ThreadHandOff.h).

#include <QPointer>
#include <QQuickPaintedItem>

#include "viewers/SessionHealthModel.h"

class SessionHealthPaintedItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(SessionHealthModel* model READ model WRITE setModel NOTIFY modelChanged)
public:
    explicit SessionHealthPaintedItem(QQuickItem* parent = nullptr);

    SessionHealthModel* model() const { return model_; }
    void setModel(SessionHealthModel* model);

signals:
    void modelChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData& data) override;

    QPointer<SessionHealthModel> model_;

private:
    QMetaObject::Connection handOff_;
};
