#include "platform/retained/math3d.h"

namespace quarvel::rm {

bool normalize(const Vec3& v, Vec3& out) {
  float len = length(v);
  if (!(len > 1e-20f) || !std::isfinite(len)) return false;
  out = v * (1.0f / len);
  return true;
}

Quat quat_from_axis_angle(const Vec3& axis, float angle) {
  Vec3 a;
  if (!normalize(axis, a) || !std::isfinite(angle)) return {};
  float s = std::sin(angle * 0.5f);
  return {std::cos(angle * 0.5f), a.x * s, a.y * s, a.z * s};
}

Quat slerp(const Quat& a, const Quat& b_in, float t) {
  Quat b = b_in;
  float d = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (d < 0) {
    d = -d;
    b = {-b.w, -b.x, -b.y, -b.z};
  }
  float ka, kb;
  if (d > 0.9995f) {
    ka = 1 - t;
    kb = t;
  } else {
    float th = std::acos(d);
    float s = std::sin(th);
    ka = std::sin((1 - t) * th) / s;
    kb = std::sin(t * th) / s;
  }
  Quat r{a.w * ka + b.w * kb, a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb};
  float n = std::sqrt(r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z);
  if (!(n > 1e-20f)) return {};
  return {r.w / n, r.x / n, r.y / n, r.z / n};
}

Mat4 Mat4::translation(const Vec3& t) {
  Mat4 r;
  r.set_origin(t);
  return r;
}

Mat4 Mat4::scale(const Vec3& s) {
  Mat4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Mat4 Mat4::from_quat(const Quat& q) {
  Mat4 r;
  float w = q.w, x = q.x, y = q.y, z = q.z;
  r.m[0][0] = 1 - 2 * (y * y + z * z);
  r.m[0][1] = 2 * (x * y - z * w);
  r.m[0][2] = 2 * (x * z + y * w);
  r.m[1][0] = 2 * (x * y + z * w);
  r.m[1][1] = 1 - 2 * (x * x + z * z);
  r.m[1][2] = 2 * (y * z - x * w);
  r.m[2][0] = 2 * (x * z - y * w);
  r.m[2][1] = 2 * (y * z + x * w);
  r.m[2][2] = 1 - 2 * (x * x + y * y);
  return r;
}

Mat4 Mat4::rotation(const Vec3& axis, float angle) { return from_quat(quat_from_axis_angle(axis, angle)); }

Mat4 Mat4::from_axes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& origin) {
  Mat4 r;
  r.set_axis(0, x);
  r.set_axis(1, y);
  r.set_axis(2, z);
  r.set_origin(origin);
  return r;
}

Mat4 Mat4::operator*(const Mat4& o) const {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j] + m[i][3] * o.m[3][j];
  return r;
}

Vec3 Mat4::transform_point(const Vec3& p) const {
  return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
          m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
          m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
}

Vec3 Mat4::transform_vector(const Vec3& v) const {
  return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
          m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
          m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Mat4 Mat4::inverse() const {
  // Inverse of the 3x3 linear part by cofactors, in double for accuracy.
  double a = m[0][0], b = m[0][1], c = m[0][2];
  double d = m[1][0], e = m[1][1], f = m[1][2];
  double g = m[2][0], h = m[2][1], i = m[2][2];
  double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  double det = a * A + b * B + c * C;
  Mat4 r;
  double scale_ref = std::fabs(a) + std::fabs(b) + std::fabs(c) + std::fabs(d) + std::fabs(e) +
                    std::fabs(f) + std::fabs(g) + std::fabs(h) + std::fabs(i);
  if (std::isfinite(det) && std::fabs(det) > 1e-30 * (1 + scale_ref * scale_ref * scale_ref)) {
    double inv = 1.0 / det;
    r.m[0][0] = float(A * inv);
    r.m[0][1] = float(-(b * i - c * h) * inv);
    r.m[0][2] = float((b * f - c * e) * inv);
    r.m[1][0] = float(B * inv);
    r.m[1][1] = float((a * i - c * g) * inv);
    r.m[1][2] = float(-(a * f - c * d) * inv);
    r.m[2][0] = float(C * inv);
    r.m[2][1] = float(-(a * h - b * g) * inv);
    r.m[2][2] = float((a * e - b * d) * inv);
  }
  Vec3 t = r.transform_vector(origin());
  r.set_origin(-t);
  return r;
}

bool Mat4::is_finite() const {
  for (const auto& row : m)
    for (float v : row)
      if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace quarvel::rm
