#pragma once
// A painted item of the Session Health viewer that draws from the viewer's model: holds the
// model and repaints whenever the model's room figures (markers, stray sources, heat map) change.

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
    QPointer<SessionHealthModel> model_;
};
