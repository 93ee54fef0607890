#pragma once
// Small value types shared by the tracking code: vector<T, N> and quaternion<T> (x, y, z, w).
// Metres, y up. Rotations are unit quaternions; q.rotate(v) = q v q*.

#include <array>
#include <cmath>
#include <cstddef>

namespace KestrelMath {

template <class T, std::size_t N>
struct vector {
    std::array<T, N> v{};

    constexpr T& operator[](std::size_t i) { return v[i]; }
    constexpr const T& operator[](std::size_t i) const { return v[i]; }
    constexpr T& x() { return v[0]; }
    constexpr T& y() { return v[1]; }
    constexpr T& z() { return v[2]; }
    constexpr const T& x() const { return v[0]; }
    constexpr const T& y() const { return v[1]; }
    constexpr const T& z() const { return v[2]; }

    friend constexpr vector operator+(vector a, const vector& b) {
        for (std::size_t i = 0; i < N; ++i)
            a.v[i] += b.v[i];
        return a;
    }
    friend constexpr vector operator-(vector a, const vector& b) {
        for (std::size_t i = 0; i < N; ++i)
            a.v[i] -= b.v[i];
        return a;
    }
    friend constexpr vector operator-(vector a) {
        for (auto& c : a.v)
            c = -c;
        return a;
    }
    friend constexpr vector operator*(vector a, T s) {
        for (auto& c : a.v)
            c *= s;
        return a;
    }
    friend constexpr vector operator*(T s, vector a) { return a * s; }
    friend constexpr vector operator/(vector a, T s) {
        for (auto& c : a.v)
            c /= s;
        return a;
    }
    constexpr vector& operator+=(const vector& b) { return *this = *this + b; }
    constexpr vector& operator-=(const vector& b) { return *this = *this - b; }
    constexpr vector& operator*=(T s) { return *this = *this * s; }
    friend constexpr bool operator==(const vector& a, const vector& b) { return a.v == b.v; }
    friend constexpr bool operator!=(const vector& a, const vector& b) { return a.v != b.v; }
};

template <class T, std::size_t N>
constexpr T dot(const vector<T, N>& a, const vector<T, N>& b) {
    T sum{};
    for (std::size_t i = 0; i < N; ++i)
        sum += a[i] * b[i];
    return sum;
}
template <class T>
constexpr vector<T, 3> cross(const vector<T, 3>& a, const vector<T, 3>& b) {
    return {{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}};
}
template <class T, std::size_t N>
T length(const vector<T, N>& a) {
    return std::sqrt(dot(a, a));
}
template <class T, std::size_t N>
vector<T, N> normalized(const vector<T, N>& a) {
    return a / length(a);
}

template <class T>
using vector2 = vector<T, 2>;
template <class T>
using vector3 = vector<T, 3>;

template <class T>
struct quaternion {
    T x{}, y{}, z{}, w{1};

    static constexpr quaternion identity() { return {T(0), T(0), T(0), T(1)}; }
    // Rotation by `angle` radians about the unit `axis`.
    static quaternion fromAxisAngle(const vector<T, 3>& axis, T angle) {
        T s = std::sin(angle / 2);
        return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2)};
    }
    // Rotation by the rotation vector r (axis times angle); the identity for a zero vector.
    static quaternion fromRotationVector(const vector<T, 3>& r) {
        T angle = length(r);
        if (angle == T(0))
            return identity();
        return fromAxisAngle(r / angle, angle);
    }

    constexpr quaternion conjugate() const { return {-x, -y, -z, w}; }
    T norm() const { return std::sqrt(x * x + y * y + z * z + w * w); }
    quaternion normalized() const {
        T n = norm();
        return {x / n, y / n, z / n, w / n};
    }

    friend constexpr quaternion operator*(const quaternion& a, const quaternion& b) {
        return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
    }

    // q v q* for a unit quaternion, without building the products.
    constexpr vector<T, 3> rotate(const vector<T, 3>& v) const {
        vector<T, 3> u{{x, y, z}};
        vector<T, 3> t = cross(u, v) * T(2);
        return v + t * w + cross(u, t);
    }

    friend constexpr bool operator==(const quaternion& a, const quaternion& b) {
        return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
    }
};

} // namespace KestrelMath
