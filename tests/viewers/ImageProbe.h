#pragma once
// Reading what the tests need out of a camera image, a screenshot and a lined mesh.
#include <QImage>
#include <QQuickItem>
#include <QRect>
#include <QVector3D>

#include <cmath>
#include <vector>

#include "engine/LinedMeshConstructor.h"

// A bright blob of a camera image: its intensity-weighted centre in image coordinates (pixel
// c spans [c, c + 1)) and its pixel count.
struct ImageBlob {
    double x = 0, y = 0;
    int area = 0;
};

// The 4-connected groups of pixels brighter than `threshold` in a width x height grey image.
inline std::vector<ImageBlob> findBlobs(const QByteArray& pixels, int width, int height, int threshold) {
    std::vector<ImageBlob> blobs;
    std::vector<char> seen(size_t(width) * height, 0);
    auto value = [&](int c, int r) { return int(uint8_t(pixels[r * width + c])); };
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            if (seen[size_t(r) * width + c] || value(c, r) <= threshold)
                continue;
            double sx = 0, sy = 0, sw = 0;
            int area = 0;
            std::vector<std::pair<int, int>> stack{{c, r}};
            seen[size_t(r) * width + c] = 1;
            while (!stack.empty()) {
                auto [x, y] = stack.back();
                stack.pop_back();
                const double w = value(x, y);
                sx += (x + 0.5) * w, sy += (y + 0.5) * w, sw += w, ++area;
                const std::pair<int, int> next[4] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (auto [nx, ny] : next)
                    if (nx >= 0 && ny >= 0 && nx < width && ny < height && !seen[size_t(ny) * width + nx] &&
                        value(nx, ny) > threshold) {
                        seen[size_t(ny) * width + nx] = 1;
                        stack.push_back({nx, ny});
                    }
            }
            blobs.push_back({sx / sw, sy / sw, area});
        }
    return blobs;
}

// A circle drawn as `vertexCount` vertices from `first` on: its centre (the mean) and radius.
struct DrawnCircle {
    QVector3D centre;
    float radius = 0;
};
inline DrawnCircle circleAt(const KestrelQt3DEngine::LinedMeshConstructor& mesh, size_t first, size_t vertexCount) {
    DrawnCircle circle;
    for (size_t i = first; i < first + vertexCount; ++i) {
        const auto& v = mesh.vertices()[i];
        circle.centre += QVector3D(v.position[0], v.position[1], v.position[2]) / float(vertexCount);
    }
    const auto& v = mesh.vertices()[first];
    circle.radius = (QVector3D(v.position[0], v.position[1], v.position[2]) - circle.centre).length();
    return circle;
}

inline int brightness(QRgb rgb) { return (qRed(rgb) + qGreen(rgb) + qBlue(rgb)) / 3; }

// The brightest pixel within `reach` pixels of (x, y).
inline int brightestNear(const QImage& image, double x, double y, int reach) {
    int best = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const int px = int(std::floor(x)) + dx, py = int(std::floor(y)) + dy;
            if (image.rect().contains(px, py))
                best = std::max(best, brightness(image.pixel(px, py)));
        }
    return best;
}

// The rectangle of `area` whose rows and columns are mostly darker than `limit`: a dark image
// on a light background, whatever small dark marks lie around it.
inline QRect darkBox(const QImage& image, const QRect& area, int limit) {
    auto darkShare = [&](int x0, int y0, int dx, int dy, int count) {
        int dark = 0;
        for (int i = 0; i < count; ++i)
            dark += brightness(image.pixel(x0 + i * dx, y0 + i * dy)) < limit;
        return double(dark) / count;
    };
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        if (darkShare(x, area.top(), 0, 1, area.height()) > 0.3) {
            if (left < 0)
                left = x;
            right = x;
        }
    for (int y = area.top(); y <= area.bottom(); ++y)
        if (darkShare(area.left(), y, 1, 0, area.width()) > 0.3) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    return left < 0 || top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Every item below `item`, depth first.
inline void collectItems(QQuickItem* item, std::vector<QQuickItem*>& items) {
    for (QQuickItem* child : item->childItems()) {
        items.push_back(child);
        collectItems(child, items);
    }
}
