#include "viewers/SessionHealthRoomView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "engine/ThreadHandOff.h"

SessionHealthRoomView::SessionHealthRoomView(QQuickItem* parent) : SessionHealthPaintedItem(parent) { setAntialiasing(true); }

QColor SessionHealthRoomView::rateColour(double rate) {
    if (rate < 0)
        return QColor(160, 160, 160);
    return QColor::fromHsvF(std::clamp(rate, 0.0, 1.0) / 3.0, 0.85, 0.8);
}

QRectF SessionHealthRoomView::roomArea() const {
    double left = 0, right = 0, top = 0, bottom = 0;
    bool any = false;
    auto include = [&](double x, double z) {
        if (!any) {
            left = right = x;
            top = bottom = z;
            any = true;
        }
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, z);
        bottom = std::max(bottom, z);
    };
    if (model_) {
        for (const auto& m : model_->report().markers)
            include(m.position.x, m.position.z);
        for (const auto& s : model_->report().straySources) {
            const auto at = SessionHealthModel::sourcePosition(s);
            include(at.x, at.z);
        }
    }
    const double margin = 0.25;
    QRectF area(QPointF(left - margin, top - margin), QPointF(right + margin, bottom + margin));
    const QPointF centre = area.center();
    area.setWidth(std::max(1.0, area.width()));
    area.setHeight(std::max(1.0, area.height()));
    area.moveCenter(centre);
    return area;
}

void SessionHealthRoomView::paint(QPainter* painter) {
    KestrelQt3DEngine::takeOver(this);
    painter->fillRect(QRectF(0, 0, width(), height()), Qt::white);
    const QRectF room = roomArea();
    const double scale = std::min(width() / room.width(), height() / room.height());
    const QPointF origin(0.5 * width() - scale * room.center().x(), 0.5 * height() - scale * room.center().y());
    auto toScreen = [&](double x, double z) { return QPointF(origin.x() + scale * x, origin.y() + scale * z); };

    // Grid: metres, or decimetres when the room shown is under 2 m across.
    const double step = std::max(room.width(), room.height()) < 2 ? 0.1 : 1.0;
    painter->setPen(QPen(QColor(225, 225, 225), 1));
    // Across the whole item, which is wider or taller than the room area in one direction.
    const double x0 = -origin.x() / scale, x1 = (width() - origin.x()) / scale;
    const double z0 = -origin.y() / scale, z1 = (height() - origin.y()) / scale;
    for (double x = std::ceil(x0 / step) * step; x <= x1; x += step)
        painter->drawLine(toScreen(x, z0), toScreen(x, z1));
    for (double z = std::ceil(z0 / step) * step; z <= z1; z += step)
        painter->drawLine(toScreen(x0, z), toScreen(x1, z));
    painter->setPen(QPen(QColor(170, 170, 170), 1));
    painter->drawLine(toScreen(x0, 0), toScreen(x1, 0));
    painter->drawLine(toScreen(0, z0), toScreen(0, z1));
    QFont font = painter->font();
    font.setPixelSize(12);
    painter->setFont(font);
    painter->setPen(QColor(120, 120, 120));
    painter->drawText(QPointF(6, height() - 6), QStringLiteral("x →, z ↓, grid %1").arg(step < 1 ? QStringLiteral("10 cm") : QStringLiteral("1 m")));
    if (!model_)
        return;

    const double radius = std::clamp(0.02 * scale, 3.0, 7.0);
    for (const auto& m : model_->report().markers) {
        painter->setPen(QPen(QColor(60, 60, 60), 1));
        painter->setBrush(rateColour(SessionHealthModel::markerRate(m)));
        painter->drawEllipse(toScreen(m.position.x, m.position.z), radius, radius);
    }

    for (const auto& s : model_->report().straySources) {
        const auto at = SessionHealthModel::sourcePosition(s);
        const QPointF p = toScreen(at.x, at.z);
        const double r = 2 * radius;
        painter->setPen(QPen(sourceColour(), 3));
        painter->drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
        painter->drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
        painter->setPen(QColor(150, 70, 0));
        // Adding 0.0 turns -0.0 into 0.0: no "-0.00" in the label.
        painter->drawText(p + QPointF(r + 3, -3), QStringLiteral("light (%1, %2, %3) m, %4 % of frames")
                                                      .arg(at.x + 0.0, 0, 'f', 2)
                                                      .arg(at.y + 0.0, 0, 'f', 2)
                                                      .arg(at.z + 0.0, 0, 'f', 2)
                                                      .arg(100 * s.frameShare, 0, 'f', 0));
    }
}
