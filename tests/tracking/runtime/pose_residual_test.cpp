// Camera model, carry-back and the analytic Jacobian rows, against central differences of
// the full computation.
#include <random>

#include <gtest/gtest.h>

#include "NumericDerivative.h"
#include "SyntheticScene.h"
#include "tracking/runtime/optimizer/PoseResidual.h"

using namespace TrackingTest;

namespace {

LeapSummary randomLeap(std::mt19937& random) {
    std::uniform_real_distribution<float> u(-1, 1);
    LeapSummary leap{};
    leap.duration = 0.005f + 0.003f * u(random);
    for (int i = 0; i < 3; ++i) {
        leap.positionDelta[i] = 0.01f * u(random);
        leap.velocityDelta[i] = 0.1f * u(random);
    }
    Eigen::Quaterniond q(Eigen::AngleAxisd(0.05 * u(random), Eigen::Vector3d(u(random), u(random), 1).normalized()));
    setRotation(leap, q);
    for (int i = 0; i < 9; ++i) {
        leap.positionSensitivity[i] = 3e-5f * u(random) + (i % 4 == 0 ? 1.2e-4f : 0.0f);
        leap.velocitySensitivity[i] = 0.01f * u(random) + (i % 4 == 0 ? 0.05f : 0.0f);
    }
    return leap;
}

} // namespace

TEST(CameraProjection, DirectionIsUnitAndProjectsBackToItsPoint) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> u(-0.99f, 0.99f);
    for (float xi : {0.0f, 0.6f, 0.95f})
        for (int i = 0; i < 500; ++i) {
            const float x = u(random), y = u(random);
            if (x * x + y * y >= 0.98f)
                continue;
            const Vec3f d = directionFromImagePoint(x, y, xi);
            EXPECT_NEAR(KestrelMath::length(d), 1.0f, 1e-5f);
            const Eigen::Vector2d back = imagePoint(d3(d), xi);
            EXPECT_NEAR(back.x(), x, 2e-5);
            EXPECT_NEAR(back.y(), y, 2e-5);
        }
}

TEST(CameraProjection, CentreLooksAlongOpticalAxis) {
    const Vec3f d = directionFromImagePoint(0, 0, 0.9f);
    EXPECT_FLOAT_EQ(d[0], 0);
    EXPECT_FLOAT_EQ(d[1], 0);
    EXPECT_FLOAT_EQ(d[2], 1);
}

TEST(CameraProjection, DerivativeIsMinusGradientOfTheProjection) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 200; ++i) {
        const double xi = 0.3 + 0.5 * (u(random) + 1);
        const Eigen::Vector3d d = Eigen::Vector3d(u(random), u(random), 1.2 + u(random)).normalized();
        float j[6];
        projectionDerivative(f3(d), float(xi), j);
        // P as a function of the unnormalised direction.
        std::function<Eigen::Vector2d(const Eigen::Vector3d&)> p = [&](const Eigen::Vector3d& delta) {
            return imagePoint((d + delta).normalized(), xi);
        };
        const Eigen::Matrix<double, 2, 3> numeric = centralDifferences<2, 3>(p);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(j[r * 3 + c], -numeric(r, c), 2e-5) << "row " << r << " col " << c;
    }
}

TEST(StateCarrier, UndoesPropagation) {
    std::mt19937 random(3);
    SyntheticScene scene;
    OptimizerState start = scene.truth();
    start.accelerometerCorrection = {{0.01f, -0.02f, 0.005f}};
    OptimizerState state = start;
    std::vector<LeapSummary> leaps;
    double elapsed = 0;
    for (int k = 0; k < 6; ++k) {
        leaps.push_back(randomLeap(random));
        propagate(state, leaps.back());
        elapsed += leaps.back().duration;
    }
    StateCarrier carrier(state);
    for (int k = 5; k >= 0; --k)
        carrier.stepBack(leaps[k]);
    const FramePose& pose = carrier.pose();
    EXPECT_NEAR(pose.time, -elapsed, 1e-6);
    // The carrier leaves gravity out (cameraPosition puts it back into positions), so the
    // velocity it reaches lacks the 9.81 m/s^2 fall over the elapsed time.
    const Eigen::Vector3d withGravity = cameraPosition(pose) - 0.0162 * (pose.rotation * Eigen::Vector3d::UnitZ());
    EXPECT_LT((withGravity - d3(start.position)).norm(), 1e-5);
    EXPECT_LT((pose.velocity + Eigen::Vector3d(0, 9.81 * elapsed, 0) - d3(start.velocity)).norm(), 1e-5);
    EXPECT_LT(pose.rotation.angularDistance(toEigen(start.rotation)), 1e-5);
}

TEST(StateCarrier, PropagationFollowsTheSyntheticTrajectory) {
    SyntheticScene scene;
    OptimizerState state = scene.truth(-0.1);
    for (int k = 0; k < 20; ++k)
        propagate(state, scene.leap(-0.1 + k * scene.frameTime));
    EXPECT_LT((d3(state.position) - scene.position(0)).norm(), 1e-5);
    EXPECT_LT((d3(state.velocity) - scene.velocity(0)).norm(), 1e-4);
    EXPECT_LT(toEigen(state.rotation).angularDistance(scene.rotation(0)), 1e-5);
}

// Every analytic column against central differences of: perturb the state at the newest
// frame by the delta, carry it back to the ray's frame, project.
TEST(RayLinearisation, EveryColumnMatchesCentralDifferences) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> u(-1, 1);
    SyntheticScene scene;
    for (int trial = 0; trial < 60; ++trial) {
        OptimizerState state = scene.truth();
        state.velocity = {{float(u(random)), float(0.5 * u(random)), float(u(random))}};
        state.accelerometerCorrection = {{float(0.05 * u(random)), float(0.05 * u(random)), float(0.05 * u(random))}};
        const int age = trial % 8;
        std::vector<LeapSummary> leaps;
        for (int k = 0; k < age; ++k)
            leaps.push_back(randomLeap(random));
        auto carry = [&](const OptimizerState& s) {
            StateCarrier carrier(s);
            for (const LeapSummary& leap : leaps)
                carrier.stepBack(leap);
            return carrier.pose();
        };
        const FramePose pose = carry(state);
        // A marker in front of the camera, and an image point off its projection by ~0.02 so
        // that the derivative is taken at the predicted direction.
        const Eigen::Vector3d ahead = pose.rotation * Eigen::Vector3d(0.4 * u(random), 0.4 * u(random), 1.0);
        const Eigen::Vector3d marker = cameraPosition(pose) + (1.5 + u(random)) * ahead;
        Ray ray{};
        const Eigen::Vector2d exact = imagePoint((pose.rotation.conjugate() * (marker - cameraPosition(pose))).normalized(), scene.xi);
        ray.point = {{float(exact.x() + 0.015), float(exact.y() - 0.01)}};
        const RayLinearisation analytic = linearise(pose, marker, ray, scene.xi);
        ASSERT_GE(analytic.squaredResidual, storedDerivativeLimit);

        std::function<Eigen::Vector2d(const Eigen::Matrix<double, 12, 1>&)> residual =
            [&](const Eigen::Matrix<double, 12, 1>& delta) {
                OptimizerState perturbed = state;
                applyDelta(perturbed, delta);
                return rayResidual(carry(perturbed), marker, ray, scene.xi);
            };
        // The state is stored in floats: steps large enough that its rounding (1e-7 m) stays far
        // below the tolerance. Velocity and correction enter scaled by t and by the
        // sensitivities, so they get larger steps; the residual is nearly linear in them.
        Eigen::Matrix<double, 12, 1> steps;
        steps << 1e-3, 1e-3, 1e-3, 2e-2, 2e-2, 2e-2, 1e-3, 1e-3, 1e-3, 0.2, 0.2, 0.2;
        const Eigen::Matrix<double, 2, 12> numeric = centralDifferences<2, 12>(residual, steps);
        for (int c = 0; c < 12; ++c) {
            if (age == 0 && c >= 3 && c < 6)
                continue;  // t = 0: no velocity dependence (checked below)
            if (age == 0 && c >= 9)
                continue;  // no leap yet: no correction dependence
            // 1 % of the column, plus the differences' own rounding noise (about 1e-7 here).
            const double tolerance = 1e-2 * numeric.col(c).norm() + 1e-6;
            EXPECT_LE((analytic.jacobian.col(c) - numeric.col(c)).norm(), tolerance)
                << "trial " << trial << " age " << age << " column " << c << "\nanalytic "
                << analytic.jacobian.col(c).transpose() << "\nnumeric " << numeric.col(c).transpose();
        }
        if (age == 0) {
            EXPECT_LT((analytic.jacobian.block<2, 3>(0, 3).norm()), 1e-12);
            EXPECT_LT((analytic.jacobian.block<2, 3>(0, 9).norm()), 1e-12);
            EXPECT_LT((numeric.block<2, 3>(0, 3).norm()), 1e-4);
        }
    }
}

TEST(RayLinearisation, SmallResidualUsesTheRaysOwnDerivative) {
    SyntheticScene scene;
    History history = scene.history(1);
    const Ray& real = history.fromNewest(0).frame.rays[0];
    Ray ray = real;
    for (float& v : ray.projectionDerivative)
        v = 0;
    ray.projectionDerivative[0] = 1;  // only row 0, x
    StateCarrier carrier(scene.truth());
    const Eigen::Vector3d marker = d3(scene.markers[real.markerIndex]);
    const RayLinearisation small = linearise(carrier.pose(), marker, ray, scene.xi);
    EXPECT_LT(small.squaredResidual, 1e-9);
    EXPECT_EQ(small.jacobian.row(1).norm(), 0.0);
    EXPECT_GT(small.jacobian.row(0).norm(), 0.0);

    ray.point[0] += 0.01f;  // squared residual 1e-4 >= 2.5e-5: derivative at the prediction
    const RayLinearisation large = linearise(carrier.pose(), marker, ray, scene.xi);
    EXPECT_GT(large.jacobian.row(1).norm(), 0.0);
}
