#include "model/conditions.h"

#include <algorithm>

#include "model/model.h"

namespace cdbbem {

void set_default_conditions(model_store& store) {
  // The flux values and prescribed counts start as the allocation's zeros:
  // writing them again would only make the system hand out and clear their
  // pages before anything needs them.
  std::fill(store.triangle_bc_kind.begin(), store.triangle_bc_kind.end(), flux_prescribed);
  std::fill(store.node_potential.begin(), store.node_potential.end(), NO_POTENTIAL);
}

void classify_triangles(model& m) {
  model_store& store = m.store;
  const std::int64_t triangles = m.counts.triangle_count;
  for (std::int64_t t = 1; t <= triangles; ++t) {
    const std::int32_t* nodes = store.triangle_nodes.column(t);
    for (int k = 0; k < 3; ++k) {
      if (store.node_potential[nodes[k]] != NO_POTENTIAL) {
        ++store.triangle_prescribed_count[t];
      }
    }
  }
  for (std::int64_t t = 1; t <= triangles; ++t) {
    if (store.triangle_prescribed_count[t] == 3) {
      const std::int32_t* nodes = store.triangle_nodes.column(t);
      store.triangle_bc_kind[t] = potential_prescribed;
      store.triangle_bc_value[t] =
          ((store.node_potential[nodes[0]] + store.node_potential[nodes[1]]) +
           store.node_potential[nodes[2]]) /
          3.0;
    }
  }
}

void set_element_flux(model& m, std::int64_t position, double q) {
  set_face_flux(m, position, -1, q);
}

std::int32_t set_face_flux(model& m, std::int64_t position, int face, double q) {
  model_store& store = m.store;
  const auto [first, end] = store.element_triangles(position);
  std::int32_t set = 0;
  for (std::int32_t t = first; t < end; ++t) {
    if (face >= 0 && store.triangle_face[t] != face) {
      continue;
    }
    store.triangle_bc_value[t] = q;
    store.triangle_bc_kind[t] = flux_prescribed;
    store.triangle_flux_set[t] = 1;
    ++set;
  }
  return set;
}

}  // namespace cdbbem
