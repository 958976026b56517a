#pragma once
/// Shared value types of the molecular model: positions, cell tensors and colours.
#include <cmath>

namespace zelvor {

/// Position or direction in Ångström.
struct Vector {
    double x = 0.0, y = 0.0, z = 0.0;
    Vector() = default;
    Vector(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
};

inline Vector operator+(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector operator-(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector operator*(const Vector& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector operator*(double s, const Vector& a) { return a * s; }
inline Vector operator/(const Vector& a, double s) { return {a.x / s, a.y / s, a.z / s}; }
/// Dot product.
inline double operator*(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
/// Euclidean length.
inline double Length(const Vector& v) { return std::sqrt(v * v); }
inline Vector Cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

/// Three column vectors a, b, c; Tensor * v = a*v.x + b*v.y + c*v.z.
struct Tensor {
    Vector a, b, c;
};
inline Tensor GetTensor(const Vector& a, const Vector& b, const Vector& c) { return {a, b, c}; }
inline Vector operator*(const Tensor& t, const Vector& v) { return t.a * v.x + t.b * v.y + t.c * v.z; }

/// One entry of the iso-surface colour lists.
struct Colour {
    float r = 0.f, g = 0.f, b = 0.f, a = 0.f;
};

}  // namespace zelvor
