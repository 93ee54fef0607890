#include "viewers/SessionHealthHeatMap.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "engine/ThreadHandOff.h"

SessionHealthHeatMap::SessionHealthHeatMap(QQuickItem* parent) : SessionHealthPaintedItem(parent) {}

QColor SessionHealthHeatMap::cellColour(int count, int maximum) {
    if (count <= 0 || maximum <= 0)
        return QColor(24, 24, 40);
    // A square root, so that a few blobs in one place show beside a lamp's thousands.
    const double t = std::sqrt(std::min(1.0, double(count) / maximum));
    // Through purple and red to yellow, in equal steps between the stops.
    static const QColor stops[] = {QColor(24, 24, 40), QColor(120, 30, 120), QColor(220, 50, 30), QColor(255, 230, 50)};
    const double position = t * 3;
    const int i = std::min(2, int(position));
    const double f = position - i;
    auto mix = [f](int a, int b) { return int(std::lround(a + (b - a) * f)); };
    return QColor(mix(stops[i].red(), stops[i + 1].red()), mix(stops[i].green(), stops[i + 1].green()),
                  mix(stops[i].blue(), stops[i + 1].blue()));
}

void SessionHealthHeatMap::paint(QPainter* painter) {
    KestrelQt3DEngine::takeOver(this);
    // The normalized image square [-1, 1]^2, centred, with the unit circle (the edge of the
    // camera model's domain) drawn over it.
    const double side = std::min(width(), height());
    const QRectF image(0.5 * (width() - side), 0.5 * (height() - side), side, side);
    painter->fillRect(image, cellColour(0, 0));
    const int size = model_ ? model_->heatSize() : 0;
    if (size > 0) {
        const int maximum = model_->heatMaximum();
        const double cell = side / size;
        for (int r = 0; r < size; ++r)
            for (int c = 0; c < size; ++c) {
                const int count = model_->heatAt(c, r);
                if (count > 0)
                    painter->fillRect(QRectF(image.left() + c * cell, image.top() + r * cell, cell + 0.5, cell + 0.5),
                                      cellColour(count, maximum));
            }
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(150, 150, 170), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(image.center(), 0.5 * side, 0.5 * side);
    painter->drawRect(image.adjusted(0.5, 0.5, -0.5, -0.5));
}
