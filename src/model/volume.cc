#include "model/volume.h"

#include <algorithm>

#include "model/faces.h"
#include "model/model.h"
#include "model/solid_faces.h"
#include "model/store.h"
#include "model/triangulation.h"

namespace cdbbem {

namespace {

// A brick of twenty nodes has the most: six faces of six triangles.
constexpr std::int32_t most_nodes = 20;
constexpr std::int32_t most_triangles = 36;

// Six times the volume of the cone from `origin` over each triangle of
// `triangles` (three node positions each, into `xyz`, 3 x N from 1).
// Coordinates are taken about a point of the body itself, so that bodies
// far from the coordinate origin lose no digits.
double six_volumes(const std::int32_t* triangles, std::int64_t count,
                   const store_array<double, 3>& xyz, const double* origin) {
  double sum = 0;
  for (std::int64_t t = 0; t < count; ++t) {
    double p[3][3];
    for (int k = 0; k < 3; ++k) {
      const double* q = xyz.column(triangles[3 * t + k]);
      for (int a = 0; a < 3; ++a) {
        p[k][a] = q[a] - origin[a];
      }
    }
    const double cx = p[1][1] * p[2][2] - p[1][2] * p[2][1];
    const double cy = p[1][2] * p[2][0] - p[1][0] * p[2][2];
    const double cz = p[1][0] * p[2][1] - p[1][1] * p[2][0];
    sum += (p[0][0] * cx + p[0][1] * cy) + p[0][2] * cz;
  }
  return sum;
}

}  // namespace

solid_volumes::solid_volumes(const double* xyz) : xyz_(xyz), scratch_(std::make_unique<model>()) {
  scratch_->counts.node_count = most_nodes;
  scratch_->counts.element_count = most_triangles / 2;
  allocate_store(scratch_->counts, scratch_->store, std::uint64_t{1} << 20);
}

solid_volumes::~solid_volumes() = default;

double solid_volumes::of(const std::int32_t* fields, int field_count, solid_shape s) {
  // The element's nodes become positions 1, 2, ... of the scratch store,
  // a repeated node one position, so that the face rule sees the same
  // coincidences and the same diagonals as it does on the whole model.
  model_store& store = scratch_->store;
  std::int32_t local[most_nodes] = {};
  const int fields_of_shape = solid_field_count(s);
  std::int32_t used = 0;
  for (int k = 0; k < fields_of_shape && k < field_count; ++k) {
    if (fields[k] == 0) {
      continue;
    }
    for (int j = 0; j < k && local[k] == 0; ++j) {
      local[k] = fields[j] == fields[k] ? local[j] : 0;
    }
    if (local[k] == 0) {
      local[k] = ++used;
      const double* from = xyz_ + 3 * (std::int64_t{fields[k]} - 1);
      double* to = store.node_xyz.column(used);
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
  if (used == 0) {
    return 0;
  }
  triangle_builder triangles(*scratch_);
  triangles.begin_element(1, 0);
  for (int face = 1; face <= solid_face_count(s); ++face) {
    const element_face f = solid_face(local, fields_of_shape, s, face);
    // A face with a corner not written has no place in space.
    if (std::find(f.corners, f.corners + f.corner_count, 0) != f.corners + f.corner_count) {
      continue;
    }
    triangulate_face(triangles, f.corners, f.corner_count, f.midsides,
                     static_cast<std::uint8_t>(face));
  }
  return six_volumes(store.triangle_nodes.column(1), triangles.count(), store.node_xyz,
                     store.node_xyz.column(1)) /
         6;
}

double enclosed_volume(const model& m) {
  const std::int32_t count = m.counts.triangle_count;
  if (count == 0) {
    return 0;
  }
  const model_store& s = m.store;
  const double* first = s.node_xyz.column(s.triangle_nodes[1]);
  const double origin[3] = {first[0], first[1], first[2]};
  return six_volumes(s.triangle_nodes.column(1), count, s.node_xyz, origin) / 6;
}

}  // namespace cdbbem
