#pragma once
// The room seen from above (x to the right, z down the page): the environment's markers as
// dots coloured by how often each was matched when in view (red none, green always, grey never
// in view), and the stray-light sources as crosses with their height. The view fits everything
// with a margin and keeps metres square; grid lines every metre (every 10 cm in a small room).

#include <QRectF>

#include "viewers/SessionHealthPaintedItem.h"

class SessionHealthRoomView : public SessionHealthPaintedItem {
    Q_OBJECT
public:
    explicit SessionHealthRoomView(QQuickItem* parent = nullptr);

    void paint(QPainter* painter) override;

    // Green for a marker always matched, red for one never matched, grey for one never in view
    // (rate < 0).
    static QColor rateColour(double rate);
    // The colour of a stray-light source's cross.
    static QColor sourceColour() { return QColor(230, 120, 0); }
    // The room area shown (x, z in metres): everything in the report with a margin of 0.25 m,
    // at least 1 m on each side.
    QRectF roomArea() const;
};
