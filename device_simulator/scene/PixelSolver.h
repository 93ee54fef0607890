#pragma once
// Inverts a pixel -> normalized image point function numerically: finds the pixel whose image
// point is `target` by Newton's method with a central-difference Jacobian. Used with the host's
// undistortion path, so that the host recovers exactly the point the simulator meant.

#include <array>
#include <functional>
#include <optional>

#include "device_simulator/scene/CameraModel.h"

namespace Kestrel::DeviceSimulator {

using ImagePoint = std::array<double, 2>;
// Image point of a pixel, or empty where the function is not defined (the host drops it).
using PixelToImagePoint = std::function<std::optional<ImagePoint>(double x, double y)>;

struct PixelSolution {
    Pixel pixel;
    double residual = 0;  // |f(pixel) - target| in image-point units
    int iterations = 0;
};

// Starts at `guess` (pulled towards `inside`, a pixel where f is defined, when f is not defined
// there). Empty when no pixel within `tolerance` was found (the target lies off the sensor, or
// the iteration left the domain of f).
std::optional<PixelSolution> solvePixel(const PixelToImagePoint& f, const ImagePoint& target, Pixel guess,
                                        Pixel inside, double tolerance = 1e-7, int maximumIterations = 30);

} // namespace Kestrel::DeviceSimulator
