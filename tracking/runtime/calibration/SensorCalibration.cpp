#include "tracking/runtime/calibration/SensorCalibration.h"

namespace Kestrel::Orb::Tracking {

SensorCalibration SensorCalibration::atTemperature(const TemperatureLinearCalibration& stored, float temperature) {
    SensorCalibration result;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            const auto& pair = stored.pairs[row * 4 + column];
            float value = pair[0] + pair[1] * temperature;
            if (column < 3)
                result.matrix[row][column] = value;
            else
                result.bias[row] = value;
        }
    }
    return result;
}

KestrelMath::vector3<float> SensorCalibration::apply(const std::array<int16_t, 3>& raw, float scale) const {
    float v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = float(raw[i]) * scale - bias[i];
    KestrelMath::vector3<float> result;
    for (int row = 0; row < 3; ++row)
        result[row] = matrix[row][0] * v[0] + matrix[row][1] * v[1] + matrix[row][2] * v[2];
    return result;
}

} // namespace Kestrel::Orb::Tracking
