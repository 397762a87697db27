#include "mesh/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/coincident_nodes.h"
#include "mesh/edges.h"
#include "mesh/geometry.h"
#include "model/model.h"
#include "platform/fp_env.h"
#include "textrec/early_task.h"
#include "textrec/progress.h"

namespace cdbbem {

namespace {

constexpr double coincident_tolerance = 1e-9;   // of d
constexpr double degenerate_tolerance = 1e-12;  // of d squared
// Two triangles of an element whose normals make a larger angle are warped.
const double warped_cosine = std::sqrt(3.0) / 2.0;  // cos 30 degrees

// Each triangle's archive element, 0 for the triangles of an element
// position whose label a later position took over.
scratch_array<std::int32_t> triangle_elements(const model& m) {
  scratch_array<std::int32_t> element(
      static_cast<std::size_t>(std::max(m.counts.triangle_count, 0)));
  const model_store& store = m.store;
  for (std::int32_t k = 1; k <= m.counts.element_count; ++k) {
    const auto [first, end] = store.element_triangles(k);
    if (first == end || store.element_position.find(store.triangle_element[first]) != k) {
      continue;
    }
    for (std::int32_t t = first; t < end; ++t) {
      element[static_cast<std::size_t>(t - 1)] = store.triangle_element[t];
    }
  }
  return element;
}

void condition_figures(const model& m, mesh_report& r) {
  mesh_figures& f = r.figures;
  for (std::int32_t t = 1; t <= m.counts.triangle_count; ++t) {
    if (m.store.triangle_flux_set[t] != 0) {
      ++f.flux_triangles;
    } else if (m.store.triangle_bc_kind[t] == potential_prescribed) {
      ++f.potential_triangles;
    } else {
      ++f.default_flux_triangles;
      const std::int32_t prescribed = m.store.triangle_prescribed_count[t];
      if (prescribed == 1 || prescribed == 2) {
        ++f.partly_prescribed_triangles;
      }
    }
  }
}

// The diagonal of the boundary nodes' bounding box (0 without nodes).
double box_diagonal(const model& m) {
  if (m.counts.node_count < 1) {
    return 0.0;
  }
  const auto& xyz = m.store.node_xyz;
  vec3 low = point_at(xyz.column(1));
  vec3 high = low;
  for (std::int32_t k = 2; k <= m.counts.node_count; ++k) {
    const vec3 p = point_at(xyz.column(k));
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  return length(high - low);
}

vec3 node(const model& m, std::int32_t n) { return point_at(m.store.node_xyz.column(n)); }

// Whether products and squares of `x` stay within the normal range.
bool moderate(double x) {
  const double size = std::fabs(x);
  return size == 0.0 || (size >= 0x1p-250 && size <= 0x1p250);
}

bool moderate(vec3 v) { return moderate(v.x) && moderate(v.y) && moderate(v.z); }

// The binary exponent of v's largest component (0 for a zero vector).
int exponent_of(vec3 v) {
  int e = 0;
  std::frexp(std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}), &e);
  return e;
}

vec3 scaled(vec3 v, int e) { return {std::ldexp(v.x, e), std::ldexp(v.y, e), std::ldexp(v.z, e)}; }

// (b - a) x (c - a) of triangle t, twice its area along its normal, as
// `v` times 2^exponent: the sides are scaled by powers of two first where
// the products would leave the normal range.
struct area_vector {
  vec3 v;
  int exponent;
};

area_vector area_of(const model& m, std::int32_t t) {
  const std::int32_t* k = m.store.triangle_nodes.column(t);
  const vec3 a = node(m, k[0]);
  const vec3 u = node(m, k[1]) - a, w = node(m, k[2]) - a;
  if (moderate(u) && moderate(w)) {
    return {cross(u, w), 0};
  }
  const int eu = exponent_of(u), ew = exponent_of(w);
  return {cross(scaled(u, -eu), scaled(w, -ew)), eu + ew};
}

// Whether |area vector| <= 1e-12 d^2; `limit` is 1e-12 d^2 when that is a
// normal number, else 0.
bool degenerate_area(const area_vector& area, double size, double d, double limit) {
  if (area.exponent == 0 && limit > 0.0) {
    return size <= limit;
  }
  const int half = area.exponent / 2;
  return size <= degenerate_tolerance * std::ldexp(d, -half) * std::ldexp(d, half - area.exponent);
}

// Area, volume and degenerate triangles.
void triangle_figures(const model& m, double d, mesh_report& r) {
  mesh_figures& f = r.figures;
  double limit = degenerate_tolerance * d * d;
  limit = std::isnormal(limit) ? limit : 0.0;
  double area = 0.0;
  double volume = 0.0;
  for (std::int32_t t = 1; t <= m.counts.triangle_count; ++t) {
    progress_tick("checking triangles", t, m.counts.triangle_count);
    const std::int32_t* v = m.store.triangle_nodes.column(t);
    const area_vector twice = area_of(m, t);
    const double size = length(twice.v);
    area += (twice.exponent == 0 ? size : std::ldexp(size, twice.exponent)) / 2.0;
    volume += dot(node(m, v[0]), cross(node(m, v[1]), node(m, v[2]))) / 6.0;
    if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2] || degenerate_area(twice, size, d, limit)) {
      ++f.degenerate_triangles;
      r.triangle_defects[static_cast<std::size_t>(t - 1)] |= defect_flag::degenerate;
      r.examples.degenerate_triangles.offer(
          {{r.triangle_element[static_cast<std::size_t>(t - 1)], 0}, {v[0], v[1], v[2]}});
    }
  }
  f.area = area;
  f.volume = volume;
}

// Four-node elements whose two triangles' normals are more than 30
// degrees apart; elements with a degenerate triangle, and those whose
// label a later element took over, are left out.
void warped_elements(const model& m, mesh_report& r) {
  for (std::int32_t k = 1; k <= m.counts.element_count; ++k) {
    const auto [t0, end] = m.store.element_triangles(k);
    const std::int32_t t1 = t0 + 1;
    if (end - t0 != 2 || r.triangle_element[static_cast<std::size_t>(t0 - 1)] == 0) {
      continue;
    }
    if (((r.triangle_defects[static_cast<std::size_t>(t0 - 1)] |
          r.triangle_defects[static_cast<std::size_t>(t1 - 1)]) &
         defect_flag::degenerate) != 0) {
      continue;
    }
    const vec3 n0 = area_of(m, t0).v, n1 = area_of(m, t1).v;
    const double l0 = length(n0), l1 = length(n1);
    const vec3 u0 = {n0.x / l0, n0.y / l0, n0.z / l0};
    const vec3 u1 = {n1.x / l1, n1.y / l1, n1.z / l1};
    if (dot(u0, u1) < warped_cosine) {
      ++r.figures.warped_elements;
      r.triangle_defects[static_cast<std::size_t>(t0 - 1)] |= defect_flag::warped;
      r.triangle_defects[static_cast<std::size_t>(t1 - 1)] |= defect_flag::warped;
    }
  }
}

void field_figures(const model& m, mesh_figures& f) {
  std::vector<bool> used(static_cast<std::size_t>(std::max(m.counts.field_point_count, 0)) + 1);
  for (std::int32_t c = 1; c <= m.counts.field_cell_count; ++c) {
    const std::int32_t* k = m.store.field_cell_nodes.column(c);
    if (k[0] == k[1] || k[0] == k[2] || k[0] == k[3] || k[1] == k[2] || k[1] == k[3] ||
        k[2] == k[3]) {
      ++f.degenerate_field_cells;
    }
    for (int j = 0; j < 4; ++j) {
      used[static_cast<std::size_t>(k[j])] = true;
    }
  }
  f.unused_field_points = std::count(used.begin() + 1, used.end(), false);
}

}  // namespace

mesh_report analyse_mesh(const model& m, analysis_options options) {
  // Arithmetic flushes denormals, as in the rest of the run, whichever
  // thread the analysis runs on.
  flushed_denormals_scope arithmetic;
  mesh_report r;
  mesh_figures& f = r.figures;
  const model_counts& counts = m.counts;
  f.nodes = counts.node_count;
  f.elements = counts.element_count;
  f.triangles = counts.triangle_count;
  f.field_points = counts.field_point_count;
  f.field_cells = counts.field_cell_count;

  r.triangle_element = triangle_elements(m);
  r.triangle_defects =
      scratch_array<std::uint8_t>(static_cast<std::size_t>(std::max(counts.triangle_count, 0)));
  condition_figures(m, r);
  const double d = box_diagonal(m);
  // The node search reads only the nodes: it runs beside the rest (or
  // after it, when the system has no thread to give) and writes only its
  // own result.
  std::int64_t coincident_count = 0;
  early_task coincident;
  if (options.coincident_nodes) {
    coincident.start(true, [&m, &r, d, &coincident_count] {
      coincident_count =
          count_coincident_nodes(m, coincident_tolerance * d, r.examples.coincident_nodes);
    });
  }
  triangle_figures(m, d, r);
  warped_elements(m, r);
  analyse_edges(m, r);
  field_figures(m, f);
  if (options.coincident_nodes) {
    coincident.finish();
    f.coincident_nodes = coincident_count;
  }
  return r;
}

}  // namespace cdbbem
