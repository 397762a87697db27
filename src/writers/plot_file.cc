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

void write_points(output_channel& out, const store_array<double, 3>& xyz, std::int32_t count) {
  for (std::int32_t k = 1; k <= count; ++k) {
    const double* p = xyz.column(k);
    write_formatted(out, formats::e3_15_7, {item(p[0]), item(p[1]), item(p[2])});
  }
}

}  // namespace

void write_plot_file(const model& m, output_channel& out) {
  stage_scope stage("write_plot_file", "plot_file.cc");
  const model_counts& counts = m.counts;
  const model_store& store = m.store;
  write_free(out, {item("TITLE = \"A BEM Model for a Potential Problem\" "sv)});
  write_free(out, {item("ZONES\" "sv)});
  write_free(out, {item("VARIABLES = \"X\", \"Y\", \"Z\""sv)});
  write_free(out, {item("ZONE T=\"Model\", N="sv), item(counts.node_count), item(", E="sv),
                   item(counts.triangle_count), item("DATAPACKING=POINT, ZONETYPE=FETRIANGLE"sv)});
  write_points(out, store.node_xyz, counts.node_count);
  write_free(out, {});
  for (std::int32_t t = 1; t <= counts.triangle_count; ++t) {
    const std::int32_t* n = store.triangle_nodes.column(t);
    write_formatted(out, formats::i3_15, {item(n[0]), item(n[1]), item(n[2])});
  }
  if (counts.field_point_count == 0) {
    return;
  }
  write_free(
      out, {item("ZONE T=\"Field Points\", N="sv), item(counts.field_point_count), item(", E="sv),
            item(counts.field_cell_count), item("DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL"sv)});
  write_points(out, store.field_point_xyz, counts.field_point_count);
  write_free(out, {});
  for (std::int32_t c = 1; c <= counts.field_cell_count; ++c) {
    const std::int32_t* n = store.field_cell_nodes.column(c);
    write_formatted(out, formats::i4_15, {item(n[0]), item(n[1]), item(n[2]), item(n[3])});
  }
}

}  // namespace cdbbem
