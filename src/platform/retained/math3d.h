#pragma once
// Small vector, quaternion and matrix types for the scene graph.
//
// Coordinates are left-handed: x right, y up, z into the screen. Matrices act
// on column vectors (p' = M * p), m[row][col], translation in column 3, so a
// frame's world matrix is parent.world * local. A rotation of a positive angle
// about an axis turns clockwise when looking from the axis tip toward the
// origin (in a left-handed system this is the usual Rodrigues matrix).
#include <cmath>
#include <cstdint>

namespace quarvel::rm {

struct Vec2 {
  float x = 0, y = 0;
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
  constexpr Vec3() = default;
  constexpr Vec3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator-() const { return {-x, -y, -z}; }
  Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
  Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
  bool operator==(const Vec3& o) const = default;
};

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vec3& v) { return std::sqrt(dot(v, v)); }
inline bool finite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
// Unit vector along v; false (and out untouched) when v is zero or not finite.
bool normalize(const Vec3& v, Vec3& out);
inline Vec3 lerp(const Vec3& a, const Vec3& b, float t) { return a + (b - a) * t; }

struct Quat {
  float w = 1, x = 0, y = 0, z = 0;
};
// Rotation of `angle` radians about `axis` (need not be unit; zero gives identity).
Quat quat_from_axis_angle(const Vec3& axis, float angle);
Quat slerp(const Quat& a, const Quat& b, float t);

struct Mat4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  static Mat4 identity() { return {}; }
  static Mat4 translation(const Vec3& t);
  static Mat4 scale(const Vec3& s);
  static Mat4 rotation(const Vec3& axis, float angle);  // zero axis: identity
  static Mat4 from_quat(const Quat& q);
  // Columns x, y, z are the frame's axes, column 3 its origin.
  static Mat4 from_axes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& origin);

  Mat4 operator*(const Mat4& o) const;
  Vec3 transform_point(const Vec3& p) const;
  Vec3 transform_vector(const Vec3& v) const;  // ignores translation
  Vec3 axis(int c) const { return {m[0][c], m[1][c], m[2][c]}; }
  Vec3 origin() const { return axis(3); }
  void set_axis(int c, const Vec3& v) { m[0][c] = v.x; m[1][c] = v.y; m[2][c] = v.z; }
  void set_origin(const Vec3& v) { set_axis(3, v); }
  // Affine inverse; a singular linear part (a zero scale) gives the inverse
  // of the translation only, never NaN.
  Mat4 inverse() const;
  bool is_finite() const;
};

}  // namespace quarvel::rm
