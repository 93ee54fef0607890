#include "viewers/SessionHealthHeatMap.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

SessionHealthHeatMap::SessionHealthHeatMap(QQuickItem* parent) : QQuickPaintedItem(parent) {}

void SessionHealthHeatMap::setModel(SessionHealthModel* model) {
    if (model_ == model)
        return;
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_)
        connect(model_, &SessionHealthModel::changed, this, [this] { update(); });
    emit modelChanged();
    update();
}

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
    const QRectF area(0, 0, width(), height());
    // The image's 4:3 frame, centred.
    const double scale = std::min(area.width() / 4, area.height() / 3);
    const QRectF image(area.center().x() - 2 * scale, area.center().y() - 1.5 * scale, 4 * scale, 3 * scale);
    painter->fillRect(image, cellColour(0, 0));
    if (model_ && model_->heatColumns() > 0 && model_->heatRows() > 0) {
        const int columns = model_->heatColumns(), rows = model_->heatRows();
        const int maximum = model_->heatMaximum();
        const double w = image.width() / columns, h = image.height() / rows;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const int count = model_->heatAt(c, r);
                if (count > 0)
                    painter->fillRect(QRectF(image.left() + c * w, image.top() + r * h, w + 0.5, h + 0.5),
                                      cellColour(count, maximum));
            }
    }
    painter->setPen(QPen(QColor(120, 120, 140), 1));
    painter->drawRect(image.adjusted(0.5, 0.5, -0.5, -0.5));
}
