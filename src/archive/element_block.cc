#include "archive/element_block.h"

#include <cstdint>
#include <string>

#include "archive/archive_formats.h"
#include "archive/model_checks.h"
#include "model/model.h"
#include "model/triangulation.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/free_form.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

// An element record: ten attributes (the ninth is the number of nodes), the
// element number, then the corners I, J, K, L.
struct element_record {
  std::int32_t values[15] = {};
  std::int32_t node_total() const { return values[8]; }
  std::int32_t number() const { return values[10]; }
  const std::int32_t* corners() const { return values + 11; }
};

void find_layout(record_reader& archive) {
  while (!is_element_layout(archive.next_or_fail())) {
  }
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
    fail_check(model_check::element_too_many_nodes, archive.unit(),
               "element " + std::to_string(r.number()) + " on archive line " +
                   std::to_string(archive.line_number()) + " has " +
                   std::to_string(r.node_total()) +
                   " nodes; only elements of at most 8 nodes can be read");
  }
}

// Reads the element block with every check; `element(k, r)` takes the
// k-th boundary element's record, which has passed the checks.
template <typename Element>
void walk_element_block(record_reader& archive, model& m, Element element) {
  stage_scope stage("read_element_block", archive_file_name, &archive.line_number());
  const model_counts& counts = m.counts;
  find_layout(archive);
  const std::int64_t n = counts.node_count;
  const std::int64_t p = counts.field_point_count;
  element_record r;
  for (std::int32_t k = 1; k <= counts.element_count; ++k) {
    progress_tick("reading elements", k, counts.element_count);
    read_element(archive, r);
    if (r.number() < 1 || r.number() > counts.element_count) {
      out_of_range(model_check::element_number_range, "element number", r.number(),
                   counts.element_count, archive);
    }
    for (int c = 0; c < 4; ++c) {
      if (r.corners()[c] < 1 || r.corners()[c] > n) {
        out_of_range(model_check::element_node_range, "corner node", r.corners()[c], n, archive);
      }
    }
    element(k, r);
  }
  // Field cells: corners counted among the field points.
  for (std::int64_t c = 1; c <= counts.field_cell_count; ++c) {
    progress_tick("reading field cells", c, counts.field_cell_count);
    read_element(archive, r);
    std::int32_t* cell = m.store.field_cell_nodes.column(c);
    for (int k = 0; k < 4; ++k) {
      std::int64_t corner = std::int64_t{r.corners()[k]} - n;
      if (corner < 1 || corner > p) {
        out_of_range(model_check::field_cell_corner_range,
                     "field cell corner (counted among the field points)", corner, p, archive);
      }
      cell[k] = static_cast<std::int32_t>(corner);
    }
    m.store.field_cell_element[c] = static_cast<std::int32_t>(counts.element_count + c);
  }
}

// Where the k-th element's number and corners wait for their triangles:
// the top five-sixths of `triangle_nodes`, out of reach of the triangles of
// the elements before it (at most 6k values), so that the elements can be
// made into triangles in place, in order.
std::int32_t* waiting_element(const model_store& store, std::int64_t k) {
  const std::int64_t e = store.triangle_nodes.extent / 6;
  return store.triangle_nodes.data.get() + e + 5 * (k - 1);
}

}  // namespace

bool is_element_layout(std::string_view record) {
  // Looked at for every record the survey reads: most open otherwise.
  if (record.empty() || record[0] != '(') {
    return false;
  }
  return columns_equal(record, 6, "(19i8)") || columns_equal(record, 6, "(19i9)") ||
         columns_equal(record, 7, "(19i10)");
}

void read_element_records(record_reader& archive, model& m, element_progress* progress) {
  const std::int32_t elements = m.counts.element_count;
  walk_element_block(archive, m, [&](std::int32_t k, const element_record& r) {
    std::int32_t* slot = waiting_element(m.store, k);
    slot[0] = r.number();
    for (int c = 0; c < 4; ++c) {
      slot[1 + c] = r.corners()[c];
    }
    // The k-th record is element position k; of two records of one
    // number, the later is the element.
    m.store.element_position.add(r.number(), k);
    if (progress != nullptr && (k % 4096 == 0 || k == elements)) {
      progress->publish(k);
    }
  });
  m.store.element_position.seal();
}

void triangulate_elements(triangle_builder& triangles, const model& m, std::int64_t first,
                          std::int64_t last) {
  for (std::int64_t k = first; k <= last; ++k) {
    const std::int32_t* slot = waiting_element(m.store, k);
    const std::int32_t corners[4] = {slot[1], slot[2], slot[3], slot[4]};
    triangles.begin_element(k, slot[0]);
    triangulate_element(triangles, corners);
  }
}

}  // namespace cdbbem
