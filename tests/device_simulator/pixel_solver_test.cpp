#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "device_simulator/scene/PixelSolver.h"

using namespace Kestrel::DeviceSimulator;

namespace {
// A fisheye-like forward map with radial distortion, a tangential term and an undefined
// band, standing in for a camera's pixel -> image point function.
std::optional<ImagePoint> toyCamera(double x, double y) {
    if (y < 5.0 || y >= 475.0)
        return std::nullopt;
    double a = (x - 320.0) / 500.0, b = -(y - 240.0) / 500.0;
    double r2 = a * a + b * b;
    double scale = 1.0 + 0.08 * r2 - 0.02 * r2 * r2;
    return ImagePoint{a * scale + 0.001 * r2, b * scale - 0.0005 * a * b};
}
} // namespace

TEST(PixelSolver, FindsThePixelOfRandomImagePoints) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> px(1.0, 640.0), py(6.0, 474.0);
    for (int i = 0; i < 2000; ++i) {
        double x = px(random), y = py(random);
        ImagePoint target = *toyCamera(x, y);
        // Start from the undistorted guess, as the camera does.
        auto solution = solvePixel(toyCamera, target, Pixel{320.0 + 500.0 * target[0], 240.0 - 500.0 * target[1]},
                                   Pixel{320.0, 240.0}, 1e-12);
        ASSERT_TRUE(solution) << x << " " << y;
        EXPECT_NEAR(solution->pixel.x, x, 1e-6);
        EXPECT_NEAR(solution->pixel.y, y, 1e-6);
        EXPECT_LE(solution->iterations, 10);
    }
}

TEST(PixelSolver, GivesUpOutsideTheDomain) {
    // The image point of a pixel in the undefined band has no solution inside the domain.
    ImagePoint unreachable{0.0, -(520.0 - 240.0) / 500.0};
    EXPECT_FALSE(solvePixel(toyCamera, unreachable, Pixel{320.0, 470.0}, Pixel{320.0, 240.0}, 1e-9));
    // No defined start point at all.
    EXPECT_FALSE(solvePixel(toyCamera, ImagePoint{0, 0}, Pixel{320.0, 2.0}, Pixel{320.0, 1.0}));
}
