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

void set_triangle(model_store& store, std::int32_t t, std::int32_t a, std::int32_t b,
                  std::int32_t c) {
  std::int32_t* nodes = store.triangle_nodes.column(t);
  nodes[0] = a;
  nodes[1] = b;
  nodes[2] = c;
}

}  // namespace

void triangulate_element(model& m, std::int64_t e, const std::int32_t corners[4]) {
  model_store& store = m.store;
  const std::int32_t i = corners[0], j = corners[1], k = corners[2], l = corners[3];
  const std::int32_t t = m.counts.triangle_count;
  if (k == l) {
    set_triangle(store, t + 1, i, j, k);
    store.element_triangle(e, 0) = t + 1;
    store.element_triangle(e, 1) = t + 1;
    m.counts.triangle_count = t + 1;
    return;
  }
  if (diagonal(store, j, l) <= diagonal(store, i, k)) {
    set_triangle(store, t + 1, i, j, l);
    set_triangle(store, t + 2, j, k, l);
  } else {
    set_triangle(store, t + 1, i, j, k);
    set_triangle(store, t + 2, i, k, l);
  }
  store.element_triangle(e, 0) = t + 1;
  store.element_triangle(e, 1) = t + 2;
  m.counts.triangle_count = t + 2;
}

}  // namespace cdbbem
