#pragma once
// Central differences of a vector function of a parameter vector, for checking analytic
// Jacobians column by column.

#include <functional>

#include <Eigen/Core>

namespace TrackingTest {

// Column c uses the step steps[c].
template <int Rows, int Cols>
Eigen::Matrix<double, Rows, Cols> centralDifferences(
    const std::function<Eigen::Matrix<double, Rows, 1>(const Eigen::Matrix<double, Cols, 1>&)>& f,
    const Eigen::Matrix<double, Cols, 1>& steps) {
    Eigen::Matrix<double, Rows, Cols> jacobian;
    for (int c = 0; c < Cols; ++c) {
        Eigen::Matrix<double, Cols, 1> plus = Eigen::Matrix<double, Cols, 1>::Zero();
        Eigen::Matrix<double, Cols, 1> minus = plus;
        plus[c] = steps[c];
        minus[c] = -steps[c];
        jacobian.col(c) = (f(plus) - f(minus)) / (2 * steps[c]);
    }
    return jacobian;
}

template <int Rows, int Cols>
Eigen::Matrix<double, Rows, Cols> centralDifferences(
    const std::function<Eigen::Matrix<double, Rows, 1>(const Eigen::Matrix<double, Cols, 1>&)>& f,
    double step = 1e-6) {
    return centralDifferences<Rows, Cols>(f, Eigen::Matrix<double, Cols, 1>::Constant(step));
}

} // namespace TrackingTest
