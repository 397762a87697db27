#include "archive/element_block.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "run/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/free_form.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

constexpr std::size_t line_length = 80;

// An element record: ten attributes (the ninth is the number of nodes), the
// element number, then the corners I, J, K, L.
struct element_record {
  std::int32_t values[15] = {};
  std::int32_t node_total() const { return values[8]; }
  std::int32_t number() const { return values[10]; }
  const std::int32_t* corners() const { return values + 11; }
};

void find_layout(record_reader& archive) {
  char line[line_length];
  for (;;) {
    read_formatted(archive, formats::a7, {into(line, line_length)});
    if (text_equal(line, 6, "(19i8)", 6) || text_equal(line, 6, "(19i9)", 6) ||
        text_equal(line, 7, "(19i10)", 7)) {
      return;
    }
  }
}

[[noreturn]] void out_of_range(report number, const char* what, std::int64_t value,
                               std::int64_t last, const record_reader& archive) {
  fail_check(number, std::string(what) + " " + std::to_string(value) + " on archive line " +
                         std::to_string(archive.line_number()) + " is outside 1 to " +
                         std::to_string(last));
}

void read_element(record_reader& archive, element_record& r) {
  // A slash ends a free-form read early and leaves the values it did not
  // reach: start from zeros, so that such a record fails the range checks
  // instead of repeating the previous element's numbers.
  r = element_record{};
  auto* v = r.values;
  read_free(archive, {into(v[0]), into(v[1]), into(v[2]), into(v[3]), into(v[4]), into(v[5]),
                      into(v[6]), into(v[7]), into(v[8]), into(v[9]), into(v[10]), into(v[11]),
                      into(v[12]), into(v[13]), into(v[14])});
  // Elements of more than eight nodes continue on a second record, which
  // would otherwise be taken for the next element.
  if (r.node_total() > 8) {
    fail_check(report::element_too_many_nodes,
               "element " + std::to_string(r.number()) + " on archive line " +
                   std::to_string(archive.line_number()) + " has " +
                   std::to_string(r.node_total()) +
                   " nodes; only elements of at most 8 nodes can be read");
  }
}

double diagonal(const model_store& store, std::int32_t a, std::int32_t b) {
  const double* p = column(store.node_xyz, 3, a);
  const double* q = column(store.node_xyz, 3, b);
  double dx = p[0] - q[0];
  double dy = p[1] - q[1];
  double dz = p[2] - q[2];
  return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

void set_triangle(model_store& store, std::int32_t t, std::int32_t a, std::int32_t b,
                  std::int32_t c) {
  std::int32_t* nodes = column(store.triangle_nodes, 3, t);
  nodes[0] = a;
  nodes[1] = b;
  nodes[2] = c;
}

void triangulate(const element_record& r, model_counts& counts, model_store& store) {
  const std::int32_t* n = r.corners();
  const std::int32_t i = n[0], j = n[1], k = n[2], l = n[3];
  std::int32_t t = counts.triangle_count;
  const std::int64_t e = r.number();
  const std::int64_t rows = counts.element_count;
  if (k == l) {
    set_triangle(store, t + 1, i, j, k);
    store.element_triangles[e] = t + 1;
    store.element_triangles[e + rows] = t + 1;
    counts.triangle_count = t + 1;
    return;
  }
  if (diagonal(store, j, l) <= diagonal(store, i, k)) {
    set_triangle(store, t + 1, i, j, l);
    set_triangle(store, t + 2, j, k, l);
  } else {
    set_triangle(store, t + 1, i, j, k);
    set_triangle(store, t + 2, i, k, l);
  }
  store.element_triangles[e] = t + 1;
  store.element_triangles[e + rows] = t + 2;
  counts.triangle_count = t + 2;
}

}  // namespace

void read_element_block(record_reader& archive, model_counts& counts, model_store& store) {
  stage_scope stage("read_element_block", "element_block.cc", &archive.line_number());
  find_layout(archive);
  const std::int64_t n = counts.node_count;
  const std::int64_t p = counts.field_point_count;
  element_record r;
  for (std::int32_t k = 1; k <= counts.element_count; ++k) {
    read_element(archive, r);
    if (r.number() < 1 || r.number() > counts.element_count) {
      out_of_range(report::element_number_range, "element number", r.number(), counts.element_count,
                   archive);
    }
    for (int c = 0; c < 4; ++c) {
      if (r.corners()[c] < 1 || r.corners()[c] > n) {
        out_of_range(report::element_node_range, "corner node", r.corners()[c], n, archive);
      }
    }
    triangulate(r, counts, store);
  }
  // Field cells: corners counted among the field points.
  for (std::int64_t c = 1; c <= counts.field_cell_count; ++c) {
    read_element(archive, r);
    std::int32_t* cell = column(store.field_cell_nodes, 4, c);
    for (int k = 0; k < 4; ++k) {
      std::int64_t corner = std::int64_t{r.corners()[k]} - n;
      if (corner < 1 || corner > p) {
        out_of_range(report::field_cell_corner_range,
                     "field cell corner (counted among the field points)", corner, p, archive);
      }
      cell[k] = static_cast<std::int32_t>(corner);
    }
  }
}

}  // namespace cdbbem
