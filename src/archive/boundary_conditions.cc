#include "archive/boundary_conditions.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_formats.h"
#include "archive/model_checks.h"
#include "model/conditions.h"
#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/free_form.h"
#include "textrec/numeric_input.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

// A potential record: "D," in columns 1-2, the node number in columns 3-9,
// a label in 10-15 and the value in 16-31.
struct potential_record {
  char line[line_length];
  char node[8];
  char label[8];
  char value[16];

  void read(record_reader& archive) {
    read_formatted(archive, formats::potential_record,
                   {into(line, line_length), into(node, sizeof node), into(label, sizeof label),
                    into(value, sizeof value)});
  }
  bool is_potential() const { return text_equal({line, line_length}, "D,"); }
  bool is_end() const { return text_equal({line, line_length}, "FI"); }
};

// Whether a potential record names node `n`; a node field that does not
// convert names no node.  Blanks after the digits of an integer field are
// ignored, so the field converts as it stands.
bool names_node(const potential_record& r, std::int32_t n) {
  std::int32_t other = 0;
  return parse_int_field(std::string_view(r.node, sizeof r.node), other) && other == n;
}

}  // namespace

void read_potential_conditions(record_reader& archive, model& m) {
  stage_scope stage("read_potential_conditions", archive_file_name, &archive.line_number());
  std::int64_t records = 0;
  const model_counts& counts = m.counts;
  potential_record r;
  bool in_hand = false;  // r holds a record the loop has yet to examine
  for (;;) {
    progress_tick("reading potentials", ++records, 0);
    if (!in_hand) {
      r.read(archive);
    }
    in_hand = false;
    if (r.is_potential()) {
      std::int32_t n = text_to_int(r.node, sizeof r.node);
      double v = text_to_double(r.value, sizeof r.value);
      if (n < 1 || n > counts.node_count) {
        out_of_range(model_check::potential_node_range, "potential record node", n,
                     counts.node_count, archive);
      }
      m.store.node_potential[n] = v;
      // Archives may write a node's potential once per degree of freedom:
      // up to two more records for the same node are passed over.
      for (int k = 0; k < 2 && !in_hand; ++k) {
        r.read(archive);
        in_hand = !(r.is_potential() && names_node(r, n));
      }
      continue;
    }
    if (r.is_end()) {
      return;
    }
  }
}

namespace {

// The element of a flux record that no element record defined ends the run
// at the archive line of the record's header.
[[noreturn]] void undefined_flux_element(std::int32_t e, std::int64_t line, channel unit) {
  fail_check(model_check::flux_element_range, unit,
             "flux record element " + std::to_string(e) + " on archive line " +
                 std::to_string(line) + " is not defined by any element record");
}

// Walks the flux records from the archive's first record up to "FINI".
// `header(e, line)` is called with each record's element (in 1..E) and the
// line of its header before the values are read, and returns false to stop
// the walk there; `values(e, q)` is then called with the mean flux.
template <typename Header, typename Values>
void walk_flux_records(record_reader& archive, const model_counts& counts, int node_layout,
                       Header header, Values values) {
  stage_scope stage("read_flux_conditions", archive_file_name, &archive.line_number());
  // Node layouts 3 and 4 write the element number one column wider.
  record_format format = node_layout >= 3 ? record_format(formats::flux_header_a9)
                                          : record_format(formats::flux_header_a8);
  char line[line_length];
  char field[8];
  std::int64_t records = archive.line_number();
  for (;;) {
    progress_tick("reading fluxes", ++records, 0);
    read_formatted(archive, format, {into(line, line_length), into(field, sizeof field)});
    if (text_equal({line, line_length}, "SFE,")) {
      std::int32_t e = text_to_int(field, sizeof field);
      if (e < 1 || e > counts.element_count) {
        out_of_range(model_check::flux_element_range, "flux record element", e,
                     counts.element_count, archive);
      }
      if (!header(e, archive.line_number())) {
        return;
      }
      double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
      read_free(archive, {into(a), into(b), into(c), into(d)});
      values(e, (((a + b) + c) + d) * 0.25);
      continue;
    }
    if (text_equal({line, line_length}, "FINI")) {
      return;
    }
  }
}

}  // namespace

void read_flux_conditions(record_reader& archive, model& m, int node_layout) {
  std::int32_t position = 0;
  walk_flux_records(
      archive, m.counts, node_layout,
      [&](std::int32_t e, std::int64_t line) {
        position = m.store.element_position.find(e);
        if (position == 0) {
          undefined_flux_element(e, line, archive.unit());
        }
        return true;
      },
      [&](std::int32_t, double q) { set_element_flux(m, position, q); });
}

bool collect_flux_conditions(record_reader& archive, const model_counts& counts, int node_layout,
                             std::vector<flux_record>& records, std::size_t limit) {
  bool whole = true;
  walk_flux_records(
      archive, counts, node_layout,
      [&](std::int32_t e, std::int64_t line) {
        whole = records.size() < limit;
        if (whole) {
          records.push_back({line, e, 0.0});
        }
        return whole;
      },
      [&](std::int32_t, double q) { records.back().flux = q; });
  return whole;
}

void apply_flux_conditions(model& m, const std::vector<flux_record>& records, channel unit) {
  for (const flux_record& r : records) {
    std::int64_t line = r.line;
    stage_scope stage("read_flux_conditions", archive_file_name, &line);
    const std::int32_t position = m.store.element_position.find(r.element);
    if (position == 0) {
      undefined_flux_element(r.element, line, unit);
    }
    set_element_flux(m, position, r.flux);
  }
}

}  // namespace cdbbem
