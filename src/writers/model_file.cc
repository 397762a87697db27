#include "writers/model_file.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_write.h"
#include "textrec/free_form.h"
#include "textrec/number_output.h"
#include "textrec/output_channel.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

void marker(output_channel& out, std::string_view text) { write_free(out, {item(text)}); }

// A real field holds any double, finite or not, when its width leaves room
// for a sign, the point, the digits and a four-character exponent.
constexpr bool holds_any_double(const edit_descriptor& d) {
  return d.width >= d.digits + 6 && d.width >= 4;
}
static_assert(holds_any_double(formats::node_line[1]));
static_assert(holds_any_double(formats::element_line[6]));
static_assert(holds_any_double(formats::field_point_line[1]));

// Whether `value` fits the integer field `d`, decided by the same routine
// that writes it.
bool fits(const edit_descriptor& d, std::int32_t value) {
  char field[32];
  return d.width <= static_cast<int>(sizeof field) && format_integer(field, d.width, value);
}

}  // namespace

namespace {

// The title with today's date, the counts, the constants and the nodes'
// marker, as one record of the first run.
void write_head(const model& m, output_channel& out, std::int64_t, std::int64_t) {
  const model_counts& counts = m.counts;
  char date[9];
  date_stamp(date, sizeof date);
  write_formatted(out, formats::title_line, {item(std::string_view(date, sizeof date))});
  write_formatted(out, formats::counts_line,
                  {item(counts.triangle_count), item(counts.node_count),
                   item(counts.field_point_count), item(counts.field_cell_count)});
  write_formatted(out, formats::constants_line, {});
  marker(out, "$ Nodes:");
}

void write_nodes(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  for (std::int64_t n = first; n <= last; ++n) {
    const double* xyz = m.store.node_xyz.column(n);
    write_formatted(out, formats::node_line,
                    {item(static_cast<std::int32_t>(n)), item(xyz[0]), item(xyz[1]), item(xyz[2])});
  }
}

void write_triangles(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  const model_store& store = m.store;
  for (std::int64_t t = first; t <= last; ++t) {
    const std::int32_t* nodes = store.triangle_nodes.column(t);
    write_formatted(
        out, formats::element_line,
        {item(static_cast<std::int32_t>(t)), item(nodes[0]), item(nodes[1]), item(nodes[2]),
         item(store.triangle_bc_kind[t]), item(store.triangle_bc_value[t])});
  }
}

void write_field_points(const model& m, output_channel& out, std::int64_t first,
                        std::int64_t last) {
  for (std::int64_t p = first; p <= last; ++p) {
    const double* xyz = m.store.field_point_xyz.column(p);
    write_formatted(out, formats::field_point_line,
                    {item(static_cast<std::int32_t>(p)), item(xyz[0]), item(xyz[1]), item(xyz[2])});
  }
}

void write_field_cells(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  for (std::int64_t c = first; c <= last; ++c) {
    const std::int32_t* corners = m.store.field_cell_nodes.column(c);
    write_free(out, {item(static_cast<std::int32_t>(c)), item(corners[0]), item(corners[1]),
                     item(corners[2]), item(corners[3])});
  }
}

void elements_marker(const model&, output_channel& out, std::int64_t, std::int64_t) {
  marker(out, "$ Elements and Boundary Conditions:");
}
void field_points_marker(const model&, output_channel& out, std::int64_t, std::int64_t) {
  marker(out, "$ Field Points");
}
void field_cells_marker(const model&, output_channel& out, std::int64_t, std::int64_t) {
  marker(out, "$ Field Cells");
}
void end_marker(const model&, output_channel& out, std::int64_t, std::int64_t) {
  marker(out, "$ End of the File");
}

}  // namespace

output_records model_file_records(const model& m) {
  const model_counts& c = m.counts;
  return {{{1, write_head},
           {run_length(c.node_count), write_nodes},
           {1, elements_marker},
           {run_length(c.triangle_count), write_triangles},
           {1, field_points_marker},
           {run_length(c.field_point_count), write_field_points},
           {1, field_cells_marker},
           {run_length(c.field_cell_count), write_field_cells},
           {1, end_marker}},
          "write_model_file",
          "model_file.cc"};
}

void write_model_file(const model& m, output_channel& out) {
  write_records_of(m, model_file_records(m), out);
}

bool model_file_fits(const model& m) {
  const model_counts& c = m.counts;
  // Numbered lines run from 1 to their count, so the count is the widest
  // number of each; of the triangles' node numbers, the lowest and the
  // highest are the widest.
  bool all_fit = fits(formats::counts_line[0], c.triangle_count) &&
                 fits(formats::counts_line[0], c.node_count) &&
                 fits(formats::counts_line[0], c.field_point_count) &&
                 fits(formats::counts_line[0], c.field_cell_count) &&
                 fits(formats::node_line[0], c.node_count) &&
                 fits(formats::element_line[0], c.triangle_count) &&
                 fits(formats::field_point_line[0], c.field_point_count);
  if (all_fit && c.triangle_count > 0) {
    const std::int32_t* nodes = m.store.triangle_nodes.column(1);
    const auto [low, high] = std::minmax_element(nodes, nodes + 3 * std::int64_t{c.triangle_count});
    all_fit = fits(formats::element_line[2], *low) && fits(formats::element_line[2], *high);
  }
  return all_fit;
}

void check_model_file_fits(const model& m, channel unit) {
  stage_scope stage("write_model_file", "model_file.cc");
  if (!model_file_fits(m)) {
    fail(report::output_conversion, unit);
  }
}

}  // namespace cdbbem
