#include "writers/plot_file.h"

#include <cstdint>
#include <string_view>

#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_write.h"
#include "textrec/free_form.h"
#include "textrec/output_channel.h"

namespace cdbbem {

namespace {

using namespace std::string_view_literals;

// Every field of the plot file holds any value it is given (an int32 needs
// 11 characters, a double a sign, point, digits and exponent), so writing
// it never ends with the output conversion error.
static_assert(formats::i3_15[0].width >= 11 && formats::i4_15[0].width >= 11);
static_assert(formats::e3_15_7[0].width >= formats::e3_15_7[0].digits + 6);

void write_points(output_channel& out, const store_array<double, 3>& xyz, std::int64_t first,
                  std::int64_t last) {
  for (std::int64_t k = first; k <= last; ++k) {
    const double* p = xyz.column(k);
    write_formatted(out, formats::e3_15_7, {item(p[0]), item(p[1]), item(p[2])});
  }
}

void write_head(const model& m, output_channel& out, std::int64_t, std::int64_t) {
  write_free(out, {item("TITLE = \"A BEM Model for a Potential Problem\" "sv)});
  write_free(out, {item("ZONES\" "sv)});
  write_free(out, {item("VARIABLES = \"X\", \"Y\", \"Z\""sv)});
  write_free(out,
             {item("ZONE T=\"Model\", N="sv), item(m.counts.node_count), item(", E="sv),
              item(m.counts.triangle_count), item("DATAPACKING=POINT, ZONETYPE=FETRIANGLE"sv)});
}

void write_nodes(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  write_points(out, m.store.node_xyz, first, last);
}

void write_blank(const model&, output_channel& out, std::int64_t, std::int64_t) {
  write_free(out, {});
}

void write_triangles(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  for (std::int64_t t = first; t <= last; ++t) {
    const std::int32_t* n = m.store.triangle_nodes.column(t);
    write_formatted(out, formats::i3_15, {item(n[0]), item(n[1]), item(n[2])});
  }
}

void write_field_zone(const model& m, output_channel& out, std::int64_t, std::int64_t) {
  write_free(out, {item("ZONE T=\"Field Points\", N="sv), item(m.counts.field_point_count),
                   item(", E="sv), item(m.counts.field_cell_count),
                   item("DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL"sv)});
}

void write_field_points(const model& m, output_channel& out, std::int64_t first,
                        std::int64_t last) {
  write_points(out, m.store.field_point_xyz, first, last);
}

void write_field_cells(const model& m, output_channel& out, std::int64_t first, std::int64_t last) {
  for (std::int64_t c = first; c <= last; ++c) {
    const std::int32_t* n = m.store.field_cell_nodes.column(c);
    write_formatted(out, formats::i4_15, {item(n[0]), item(n[1]), item(n[2]), item(n[3])});
  }
}

}  // namespace

output_records plot_file_records(const model& m) {
  const model_counts& c = m.counts;
  output_records file{{{1, write_head},
                       {run_length(c.node_count), write_nodes},
                       {1, write_blank},
                       {run_length(c.triangle_count), write_triangles}},
                      "write_plot_file",
                      "plot_file.cc"};
  // The field zone only when the model has field points.
  if (c.field_point_count != 0) {
    file.runs.insert(file.runs.end(), {{1, write_field_zone},
                                       {run_length(c.field_point_count), write_field_points},
                                       {1, write_blank},
                                       {run_length(c.field_cell_count), write_field_cells}});
  }
  return file;
}

void write_plot_file(const model& m, output_channel& out) {
  write_records_of(m, plot_file_records(m), out);
}

}  // namespace cdbbem
