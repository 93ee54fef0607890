#pragma once
// The heat map of stray blobs (blobs that matched no marker) over the camera image: one square
// cell per cell of the report's grid over the normalized image square, dark for none and bright
// yellow for the most, with the edge of the camera's field drawn as a circle.

#include "viewers/SessionHealthPaintedItem.h"

class SessionHealthHeatMap : public SessionHealthPaintedItem {
    Q_OBJECT
public:
    explicit SessionHealthHeatMap(QQuickItem* parent = nullptr);

    void paint(QPainter* painter) override;

    // The colour of a cell holding `count` of `maximum` stray blobs.
    static QColor cellColour(int count, int maximum);
};
