#include "tracking/runtime/calibration/MaximumViewAngle.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace Kestrel::Orb::Tracking {

float parseMaximumViewAngle(std::string_view bytes) {
    if (bytes.size() != 4)
        throw std::runtime_error("MaximumViewAngle: Invalid format");
    unsigned char b[4];
    std::memcpy(b, bytes.data(), 4);
    uint32_t bits = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    float angle;
    std::memcpy(&angle, &bits, 4);
    // A NaN passes neither range test, and would accept every point.
    if (std::isnan(angle))
        throw std::runtime_error("MaximumViewAngle: Invalid format");
    if (angle < 0.0f)
        throw std::runtime_error("MaximumViewAngle: Angle too small");
    if (angle > 3.1415927f)
        throw std::runtime_error("MaximumViewAngle: Angle too big");
    return angle;
}

float maximumRadiusSquared(float angle, float xi) {
    float s = std::sin(angle);
    float c = std::cos(angle) + xi;
    float n = std::sqrt(s * s + c * c);
    float r = s / n;
    float cn = c / n;
    if (cn < 0.0f)
        r = r / (1.0f - cn * cn);
    return r * r;
}

} // namespace Kestrel::Orb::Tracking
