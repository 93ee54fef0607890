// The pieces of the quadrangle environment: corner averaging and forgetting, levelling, side
// assignment, the damped least-squares step and the two problems it solves.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "../runtime/NumericDerivative.h"
#include "QuadrangleScene.h"
#include "tracking/environments/OrbEnvironmentQuadrangle.h"
#include "tracking/environments/QuadrangleCornerFit.h"
#include "tracking/environments/QuadrangleOptimizationProblem.h"
#include "tracking/environments/QuadrangleSideAssignment.h"
#include "tracking/environments/ReferenceCorner.h"
#include "tracking/environments/Solver.h"

using namespace Kestrel::Orb::Tracking;

namespace {

using SceneGeometry::pi;

ReferenceCorner corner(float x, float y, float heading, float w) { return {x, y, heading, w, w, w}; }

} // namespace

TEST(ReferenceCorner, WeightsHalveEverySecondDownToTheFloor) {
    ReferenceCorner c = corner(1, 2, 0.5f, 1.0f);
    decayCorner(c, 1.0);
    EXPECT_FLOAT_EQ(c.weightX, 0.5f);
    decayCorner(c, 0.5);
    EXPECT_NEAR(c.weightY, 0.35355339, 1e-6);  // 0.5 * 2^-0.5
    decayCorner(c, 10.0);
    EXPECT_FLOAT_EQ(c.weightHeading, 0.1f);  // 0.5 * 2^-10 is raised to the floor
    // The value stays while the weight fades.
    EXPECT_FLOAT_EQ(c.x, 1);
    EXPECT_FLOAT_EQ(c.y, 2);
    EXPECT_FLOAT_EQ(c.heading, 0.5f);
}

TEST(ReferenceCorner, NeverObservedCornerKeepsZeroWeightSoTheFirstObservationIsTakenAsIs) {
    ReferenceCorner accumulated;
    decayCorner(accumulated, 3.0);
    EXPECT_FALSE(accumulated.observed());
    mergeCorner(accumulated, corner(1.25f, -0.5f, 1.5f, 0.8f));
    EXPECT_FLOAT_EQ(accumulated.x, 1.25f);
    EXPECT_FLOAT_EQ(accumulated.y, -0.5f);
    EXPECT_FLOAT_EQ(accumulated.heading, 1.5f);
    EXPECT_FLOAT_EQ(accumulated.weightX, 0.8f);
}

TEST(ReferenceCorner, MergeIsTheWeightedMeanPerComponent) {
    ReferenceCorner accumulated{2, 1, 0.2f, 1, 2, 3};
    mergeCorner(accumulated, ReferenceCorner{6, 4, 0.6f, 3, 1, 1});
    EXPECT_FLOAT_EQ(accumulated.x, 5);           // (1*2 + 3*6) / 4
    EXPECT_FLOAT_EQ(accumulated.y, 2);           // (2*1 + 1*4) / 3
    EXPECT_NEAR(accumulated.heading, 0.3, 1e-6);  // (3*0.2 + 1*0.6) / 4
    EXPECT_FLOAT_EQ(accumulated.weightX, 4);
    EXPECT_FLOAT_EQ(accumulated.weightY, 3);
    EXPECT_FLOAT_EQ(accumulated.weightHeading, 4);
}

TEST(ReferenceCorner, HeadingMeanAcrossTheHalfTurnStaysThere) {
    ReferenceCorner accumulated = corner(0, 0, 3.1f, 1);
    mergeCorner(accumulated, corner(0, 0, -3.1f, 1));
    // 3.1 and -3.1 are 0.0832 apart through pi; their mean is pi, not 0.
    EXPECT_NEAR(std::abs(accumulated.heading), pi, 1e-5);
    EXPECT_NEAR(wrapAngle(3 * pi / 2), -pi / 2, 1e-12);
    EXPECT_NEAR(wrapAngle(-7.0), -7.0 + 2 * pi, 1e-12);
    EXPECT_EQ(wrapAngle(1.0), 1.0);
}

TEST(Levelling, TurnsUpOntoY) {
    // up = (0.6, 0.8, 0): q = (0, 0, 0.6, 1.8) / sqrt(3.6).
    const Quatf q = levellingRotation(Vec3f{{0.6f, 0.8f, 0.0f}});
    EXPECT_NEAR(q.z, 0.6 / std::sqrt(3.6), 1e-6);
    EXPECT_NEAR(q.w, 1.8 / std::sqrt(3.6), 1e-6);
    EXPECT_NEAR(q.x, 0, 1e-7);
    std::mt19937 random(5);
    std::normal_distribution<float> normal;
    for (int i = 0; i < 200; ++i) {
        Vec3f up{{normal(random), normal(random), normal(random)}};
        up = up * (1 / std::sqrt(KestrelMath::dot(up, up)));
        const Vec3f turned = levellingRotation(up).rotate(up);
        EXPECT_NEAR(turned.x(), 0, 5e-5);
        EXPECT_NEAR(turned.y(), 1, 5e-5);
        EXPECT_NEAR(turned.z(), 0, 5e-5);
    }
    const Vec3f down = levellingRotation(Vec3f{{0, -1, 0}}).rotate(Vec3f{{0, -1, 0}});
    EXPECT_NEAR(down.y(), 1, 1e-6);
}

// Bars of 1.5 m on the nominal square: side 0 along +x at z = 0, side 1 along +z at x = 1.5,
// side 2 along +x at z = 3, side 3 along +z at x = -1.5.
namespace {

FloorBar floorBar(double mx, double mz, double dx, double dz) {
    const Eigen::Vector2d m(mx, mz), d(dx * 0.75, dz * 0.75);
    return {m - d, m - d * 0.4, m + d};
}
const FloorBar side0 = floorBar(0, 0, 1, 0), side1 = floorBar(1.5, 1.5, 0, 1), side2 = floorBar(0, 3, 1, 0),
               side3 = floorBar(-1.5, 1.5, 0, 1);

} // namespace

TEST(SideAssignment, EachCornerInBothOrders) {
    const FloorBar sides[4] = {side0, side1, side2, side3};
    // (side of the first bar, side of the second bar, corner code), worked by hand from the
    // rule; e.g. corner 3 in the order (side 0, side 3): X = (-1.5, 0), a = (1,0).(-1.5,0) > 0
    // false, b = (0,1).(0,-1.5) > 0 false: A = 3; (X - m0) x (X - m3) = (-1.5,0) x (0,-1.5) =
    // 2.25 > 0 swaps the pair to (side 3, side 0), and A, odd, stays 3.
    const int cases[8][3] = {
        {0, 1, 0}, {1, 0, 0},  // a !b, no swap;  !a b, swap, A = 2 replaced by w = 0
        {1, 2, 1}, {2, 1, 1},  // a b, no swap;   a b, swap, A odd
        {2, 3, 2}, {3, 2, 2},  // !a b, no swap;  a !b, swap, A = 0 replaced by w = 2
        {3, 0, 3}, {0, 3, 3},  // !a !b, no swap; !a !b, swap, A odd
    };
    for (const auto& c : cases) {
        const SideAssignment result = assignSides({sides[c[0]], sides[c[1]]}, 1.5);
        ASSERT_TRUE(result.assigned);
        EXPECT_EQ(result.cornerCodes, 1 << c[2]);
        std::array<int, 4> expected{{-1, -1, -1, -1}};
        expected[c[0]] = 0;
        expected[c[1]] = 1;
        EXPECT_EQ(result.bar, expected) << "sides " << c[0] << ", " << c[1];
    }
}

TEST(SideAssignment, AllFourBarsAtOnce) {
    const SideAssignment result = assignSides({side2, side0, side3, side1}, 1.5);
    ASSERT_TRUE(result.assigned);
    EXPECT_EQ(result.cornerCodes, 15);
    EXPECT_EQ(result.bar[0], 1);
    EXPECT_EQ(result.bar[1], 3);
    EXPECT_EQ(result.bar[2], 0);
    EXPECT_EQ(result.bar[3], 2);
}

TEST(SideAssignment, ParallelBarsAndConflictsAssignNothing) {
    // Opposite sides are parallel: no pair is considered.
    EXPECT_FALSE(assignSides({side0, side2}, 1.5).assigned);
    // The limit is 2.25 cos 45 = 1.591: bars 50 degrees apart (|d_i . d_j| = 2.25 cos 50 = 1.446)
    // are a pair, bars 40 degrees apart (2.25 cos 40 = 1.724) are not.
    const FloorBar turned40 = floorBar(1.5, 1.5, std::cos(40 * pi / 180), std::sin(40 * pi / 180));
    const FloorBar turned50 = floorBar(1.5, 1.5, std::cos(50 * pi / 180), std::sin(50 * pi / 180));
    EXPECT_FALSE(assignSides({side0, turned40}, 1.5).assigned);
    EXPECT_TRUE(assignSides({side0, turned50}, 1.5).assigned);
    // Two bars that both claim side 1 (a second side-1 bar further up): the assignment fails.
    const FloorBar anotherSide1 = floorBar(1.5, 6, 0, 1);
    const SideAssignment conflict = assignSides({side0, side1, anotherSide1}, 1.5);
    EXPECT_FALSE(conflict.assigned);
    EXPECT_TRUE(assignSides({}, 1.5).cornerCodes == 0);
}

TEST(QuadrangleProblem, InitialSolutionComposesCornersZeroToTwo) {
    AccumulatedCorners corners{};
    for (int d = 0; d < 4; ++d)
        corners[d] = corner(1, 0, float(pi / 2), 1);
    corners[3] = corner(9, 9, 1, 1);  // not used
    const auto x = QuadrangleOptimizationProblem::initialSolution(corners);
    const double expected[9] = {1, 0, pi / 2, 1, 1, pi, 0, 1, 3 * pi / 2};
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(x[i], expected[i], 1e-6) << i;
}

TEST(QuadrangleProblem, ResidualsOfAClosedLayoutVanishAndJacobianMatchesCentralDifferences) {
    // The unit square walked with quarter turns closes: all residuals 0.
    AccumulatedCorners square{};
    for (int d = 0; d < 4; ++d)
        square[d] = corner(1, 0, float(pi / 2), 2);
    QuadrangleOptimizationProblem closed(std::make_shared<const AccumulatedCorners>(square));
    EXPECT_LT(closed.residuals(QuadrangleOptimizationProblem::initialSolution(square)).norm(), 1e-6);
    // Corner 3 off by 0.1 in x with weight 2: residual 3*... = 2 * 0.1.
    square[3].x = 1.1f;
    QuadrangleOptimizationProblem open(std::make_shared<const AccumulatedCorners>(square));
    EXPECT_NEAR(open.residuals(QuadrangleOptimizationProblem::initialSolution(square))[9], 0.2, 1e-6);

    std::mt19937 random(11);
    std::uniform_real_distribution<double> any(-2, 2);
    for (int trial = 0; trial < 100; ++trial) {
        auto corners = std::make_shared<AccumulatedCorners>();
        for (ReferenceCorner& c : *corners)
            c = ReferenceCorner{float(any(random)), float(any(random)), float(any(random)), float(any(random) + 3),
                                float(any(random) + 3), float(any(random) + 3)};
        const QuadrangleOptimizationProblem problem(corners);
        QuadrangleOptimizationProblem::Parameters x;
        for (int i = 0; i < 9; ++i)
            x[i] = any(random);
        const Eigen::Matrix<double, 12, 9> numeric = TrackingTest::centralDifferences<12, 9>(
            [&](const Eigen::Matrix<double, 9, 1>& step) -> Eigen::Matrix<double, 12, 1> { return problem.residuals(x + step); },
            1e-6);
        EXPECT_LT((problem.jacobian(x) - numeric).cwiseAbs().maxCoeff(), 1e-6) << "trial " << trial;
    }
}

TEST(QuadrangleSolver, StepLowersTheCostOrLeavesTheParametersUnchanged) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> any(-1, 1);
    int accepted = 0;
    for (int trial = 0; trial < 200; ++trial) {
        auto corners = std::make_shared<AccumulatedCorners>();
        for (ReferenceCorner& c : *corners)
            c = ReferenceCorner{float(1 + 0.2 * any(random)), float(0.2 * any(random)), float(pi / 2 + 0.3 * any(random)),
                                float(2 + any(random)), float(2 + any(random)), float(2 + any(random))};
        auto problem = std::make_shared<const QuadrangleOptimizationProblem>(corners);
        Solver<QuadrangleOptimizationProblem> solver(problem);
        QuadrangleOptimizationProblem::Parameters x;
        for (int i = 0; i < 9; ++i)
            x[i] = 3 * any(random);
        for (int step = 0; step < 5; ++step) {
            const auto before = x;
            const double cost = problem->residuals(x).squaredNorm();
            if (solver.step(x)) {
                ++accepted;
                EXPECT_LT(problem->residuals(x).squaredNorm(), cost);
                EXPECT_DOUBLE_EQ(solver.cost(), problem->residuals(x).squaredNorm());
            } else {
                EXPECT_EQ(x, before);
            }
        }
    }
    EXPECT_GT(accepted, 500);
}

TEST(QuadrangleSolver, DampingRules) {
    // At the exact solution nothing can lower the cost: 21 failed trials, parameters kept,
    // damping doubled while below 1000: 0.001 * 2^20 = 1048.576. (A square walked without
    // turns closes exactly in floating point.)
    AccumulatedCorners square{{corner(1, 0, 0, 1), corner(0, 1, 0, 1), corner(-1, 0, 0, 1), corner(0, -1, 0, 1)}};
    auto problem = std::make_shared<const QuadrangleOptimizationProblem>(std::make_shared<const AccumulatedCorners>(square));
    Solver<QuadrangleOptimizationProblem> atOptimum(problem);
    auto x = QuadrangleOptimizationProblem::initialSolution(square);
    ASSERT_EQ(problem->residuals(x).squaredNorm(), 0);
    const auto kept = x;
    EXPECT_FALSE(atOptimum.step(x));
    EXPECT_EQ(x, kept);
    EXPECT_DOUBLE_EQ(atOptimum.damping(), 1048.576);

    // A success at the smallest damping keeps it; from 8 it halves to 4.
    Solver<QuadrangleOptimizationProblem> fresh(problem);
    auto far = kept;
    far[0] += 0.5;
    EXPECT_TRUE(fresh.step(far));
    EXPECT_DOUBLE_EQ(fresh.damping(), 0.001);
    Solver<QuadrangleOptimizationProblem> damped(problem, 8);
    far[4] -= 0.3;
    EXPECT_TRUE(damped.step(far));
    EXPECT_DOUBLE_EQ(damped.damping(), 4);
}

namespace {

using namespace QuadrangleScene;

// The six rays of corner 0 of the nominal square from a camera above its corner view, with
// stored derivatives taken at the exact directions, and the parameters that produced them.
struct CornerFitCase {
    std::array<CornerFitRay, 6> rays;
    CornerFitParameters truth;
};

CornerFitCase cornerZeroCase(double tiltX, double tiltZ, double yaw) {
    const Layout layout = nominalLayout();
    const TruePose camera = cameraAt(1.0, 1.7, 0.5, yaw, tiltX, tiltZ);
    CornerFitCase c;
    for (int i = 0; i < 6; ++i) {
        const Vec ray = camera.rayTo(layout.marker(i));
        c.rays[i].direction = Eigen::Vector3d(ray[0], ray[1], ray[2]);
        const auto p = project(ray);
        c.rays[i].imagePoint = Eigen::Vector2d(p[0], p[1]);
        const auto j = negativeProjectionDerivative(ray);
        for (int k = 0; k < 6; ++k)
            c.rays[i].derivative(k / 3, k % 3) = j[k];
    }
    // Side 0 is centred at the origin along +x: its bar frame is the environment frame.
    Eigen::Matrix3d rotation;
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            rotation(r, col) = camera.rotation[r][col];
    c.truth.rotation_bar_tracker = Eigen::Quaterniond(rotation);
    c.truth.position_bar = Eigen::Vector3d(1.0, 1.7, 0.5);
    c.truth.relative = BarPose2{1.5, 1.5, pi / 2};
    return c;
}

const float cornerBarX[3] = {-0.75f, -0.75f + 0.45f, 0.75f};

} // namespace

TEST(CornerFit, TrueParametersHaveZeroResidualAndJacobianMatchesCentralDifferences) {
    const CornerFitCase c = cornerZeroCase(0.1, -0.05, 0.7);
    const CornerFitProblem problem(c.rays, xi, cornerBarX);
    EXPECT_LT(problem.residuals(c.truth).cwiseAbs().maxCoeff(), 1e-6);
    // The stored derivatives are those of the true directions, so there the Jacobian is exact.
    const Eigen::Matrix<double, 12, 9> numeric = TrackingTest::centralDifferences<12, 9>(
        [&](const Eigen::Matrix<double, 9, 1>& step) -> Eigen::Matrix<double, 12, 1> {
            return problem.residuals(problem.applyStep(c.truth, step));
        },
        1e-6);
    EXPECT_LT((problem.jacobian(c.truth) - numeric).cwiseAbs().maxCoeff(), 2e-4);
}

TEST(CornerFit, OneStepFromADisturbedStartRecoversTheCornerWithHighWeights) {
    const CornerFitCase c = cornerZeroCase(0.05, 0.08, -0.4);
    CornerFitParameters start = c.truth;
    start.rotation_bar_tracker = Eigen::Quaterniond(Eigen::AngleAxisd(0.01, Eigen::Vector3d(1, 2, 3).normalized())) *
                                 start.rotation_bar_tracker;
    start.position_bar += Eigen::Vector3d(0.02, -0.03, 0.01);
    start.relative = Kestrel::Orb::Tracking::BarPose2{1.52, 1.47, pi / 2 + 0.02};
    const auto observed = fitCorner(c.rays, xi, cornerBarX, start);
    ASSERT_TRUE(observed);
    // One step from 2 to 3 cm and 0.02 rad off.
    EXPECT_NEAR(observed->x, 1.5, 4e-3);
    EXPECT_NEAR(observed->y, 1.5, 4e-3);
    EXPECT_NEAR(observed->heading, pi / 2, 4e-3);
    for (float w : {observed->weightX, observed->weightY, observed->weightHeading}) {
        EXPECT_GT(w, 0.5f);
        EXPECT_LE(w, 1.0f);
    }
}

TEST(CornerFit, ARayOnTheWrongMarkerGivesNoObservation) {
    CornerFitCase c = cornerZeroCase(0, 0, 0);
    std::swap(c.rays[0], c.rays[4]);  // bar 0's first ray and bar 1's middle ray exchanged
    EXPECT_FALSE(fitCorner(c.rays, xi, cornerBarX, c.truth));
}
