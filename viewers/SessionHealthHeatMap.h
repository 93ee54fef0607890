#pragma once
// The heat map of stray blobs (blobs that matched no marker) over the camera image: one square
// cell per cell of the report's grid over the normalized image square, dark for none and bright
// yellow for the most, with the edge of the camera's field drawn as a circle.

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
