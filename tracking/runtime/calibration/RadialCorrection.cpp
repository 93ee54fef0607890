#include "tracking/runtime/calibration/RadialCorrection.h"

#include <algorithm>

namespace Kestrel::Orb::Tracking {

RadialCorrection::RadialCorrection(const std::array<float, 12>& offsets) {
    for (int k = 0; k < 12; ++k)
        d_[k] = offsets[k] + float(2 * k + 1) / 26.0f;
    d_[12] = 25.0f / 26.0f;
}

float RadialCorrection::scale(float u) const {
    if (!(u < 1.0f))  // also a NaN radius, which the mesh search then refuses
        return 1.0f;
    int k = std::clamp(int(13.0f * u), 0, 12);
    float end = k == 12 ? 1.0f : (d_[k] + d_[k + 1]) * 0.5f;
    if (k == 0)
        return 169.0f * (end - 2.0f * d_[0]) * u + 26.0f * d_[0];
    float start = (d_[k - 1] + d_[k]) * 0.5f;
    float t = 13.0f * u - float(k);
    float f = (start - 2.0f * d_[k] + end) * t * t + 2.0f * (d_[k] - start) * t + start;
    return f / u;
}

} // namespace Kestrel::Orb::Tracking
