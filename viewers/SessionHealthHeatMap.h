#pragma once
// The heat map of stray blobs (blobs that matched no marker) over the camera image: one cell per
// cell of the report's grid, dark for none and bright yellow for the most; the image keeps its
// 4:3 proportions inside the item.

#include <QPointer>
#include <QQuickPaintedItem>

#include "viewers/SessionHealthModel.h"

class SessionHealthHeatMap : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(SessionHealthModel* model READ model WRITE setModel NOTIFY modelChanged)
public:
    explicit SessionHealthHeatMap(QQuickItem* parent = nullptr);

    SessionHealthModel* model() const { return model_; }
    void setModel(SessionHealthModel* model);

    void paint(QPainter* painter) override;

    // The colour of a cell holding `count` of `maximum` stray blobs.
    static QColor cellColour(int count, int maximum);

signals:
    void modelChanged();

private:
    QPointer<SessionHealthModel> model_;
};
