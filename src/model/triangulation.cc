#include "model/triangulation.h"

#include <cmath>

#include "model/model.h"

namespace cdbbem {

namespace {

double diagonal(const model_store& store, std::int32_t a, std::int32_t b) {
  const double* p = store.node_xyz.column(a);
  const double* q = store.node_xyz.column(b);
  double dx = p[0] - q[0];
  double dy = p[1] - q[1];
  double dz = p[2] - q[2];
  return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

}  // namespace

triangle_builder::triangle_builder(model& m) : model_(m), store_(m.store) {}

void triangle_builder::begin_element(std::int64_t position, std::int32_t label) {
  position_ = position;
  label_ = label;
  store_.element_first_triangle[position] = count_ + 1;
}

void triangle_builder::add(std::int32_t a, std::int32_t b, std::int32_t c, std::uint8_t face) {
  const std::int32_t t = ++count_;
  std::int32_t* nodes = store_.triangle_nodes.column(t);
  nodes[0] = a;
  nodes[1] = b;
  nodes[2] = c;
  store_.triangle_element[t] = label_;
  if (face != 0) {
    store_.triangle_face[t] = face;
  }
}

void triangle_builder::finish() {
  if (position_ > 0) {
    store_.element_first_triangle[position_ + 1] = count_ + 1;
  }
  model_.counts.triangle_count = count_;
}

void split_quadrilateral(triangle_builder& triangles, const std::int32_t corners[4],
                         std::uint8_t face) {
  const std::int32_t i = corners[0], j = corners[1], k = corners[2], l = corners[3];
  const model_store& store = triangles.store();
  if (diagonal(store, j, l) <= diagonal(store, i, k)) {
    triangles.add(i, j, l, face);
    triangles.add(j, k, l, face);
  } else {
    triangles.add(i, j, k, face);
    triangles.add(i, k, l, face);
  }
}

void triangulate_element(triangle_builder& triangles, const std::int32_t corners[4]) {
  if (corners[2] == corners[3]) {
    triangles.add(corners[0], corners[1], corners[2]);
    return;
  }
  split_quadrilateral(triangles, corners, 0);
}

}  // namespace cdbbem
