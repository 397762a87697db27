#ifndef CDBBEM_MESH_GEOMETRY_H_
#define CDBBEM_MESH_GEOMETRY_H_

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace cdbbem {

/// A point or vector of three doubles.
struct vec3 {
  double x, y, z;
};

/// The point at `xyz`, three consecutive doubles.
inline vec3 point_at(const double* xyz) { return {xyz[0], xyz[1], xyz[2]}; }

inline vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline vec3 cross(vec3 a, vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double dot(vec3 a, vec3 b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }

/// The length of `v`; where the squares would overflow or lose their
/// digits below the normal range, the components are scaled first.
inline double length(vec3 v) {
  double squares = dot(v, v);
  if (squares >= DBL_MIN && squares <= DBL_MAX) {
    return std::sqrt(squares);
  }
  double scale = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
  if (!(scale > 0.0) || std::isinf(scale)) {
    return scale;  // 0, infinity, or NaN
  }
  vec3 u = {v.x / scale, v.y / scale, v.z / scale};
  return scale * std::sqrt(dot(u, u));
}

}  // namespace cdbbem

#endif  // CDBBEM_MESH_GEOMETRY_H_
