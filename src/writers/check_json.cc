#include "writers/check_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "mesh/mesh_report.h"
#include "platform/fp_env.h"
#include "textrec/output_channel.h"
#include "writers/check_figures.h"
#include "writers/check_report.h"

namespace cdbbem {

std::string json_number(double value) {
  if (!std::isfinite(value)) {
    return "null";
  }
  // The run flushes denormals; the conversion must see them as they are.
  exact_denormals_scope exact;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string json_string(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string s = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      s += '\\';
      s += ch;
    } else if (c < 0x20) {
      s += "\\u00";
      s += hex[c >> 4];
      s += hex[c & 15];
    } else {
      s += ch;
    }
  }
  return s + "\"";
}

void write_check_json(const mesh_figures& f, int status, output_channel& out,
                      const std::vector<std::string>& notes, const solid_check* solids) {
  out.write_record("{");
  if (!notes.empty()) {
    std::string line = " \"notes\": [";
    for (std::size_t k = 0; k < notes.size(); ++k) {
      line += (k > 0 ? ", " : "") + json_string(notes[k]);
    }
    out.write_record(line + "],");
  }
  for (const figure_row& row : figure_rows) {
    std::string line = " \"" + std::string(row.key) + "\": ";
    if (row.count != nullptr) {
      line += std::to_string(f.*row.count);
    } else if (row.flag != nullptr) {
      line += (f.*row.flag)() ? "true" : "false";
    } else {
      line += json_number(f.*row.real);
    }
    out.write_record(line + ",");
  }
  if (solids != nullptr) {
    out.write_record(" \"elements_volume\": " + json_number(solids->elements_volume) + ",");
    out.write_record(" \"negative_volume_elements\": " + std::to_string(solids->negative) + ",");
    out.write_record(std::string(" \"skin_volume_differs\": ") +
                     (solids->volume_differs ? "1" : "0") + ",");
  }
  out.write_record(" \"status\": " + std::to_string(status));
  out.write_record("}");
}

namespace {

std::string layout_json(const layout_explanation& x) {
  const bool legacy = x.finding.reason == layout_reason::none;
  std::string s = std::string("{\"legacy\": ") + (legacy ? "true" : "false") +
                  ", \"reason\": " + (legacy ? "null" : json_string(x.finding.text)) +
                  ", \"line\": " + (x.finding.line > 0 ? std::to_string(x.finding.line) : "null") +
                  ", \"any\": ";
  if (!x.any_reads) {
    return s + "{\"reads\": false, \"report\": " + json_string(x.any_report) + "}}";
  }
  const model_counts& c = x.any_counts;
  return s + "{\"reads\": true, \"nodes\": " + std::to_string(c.node_count) +
         ", \"elements\": " + std::to_string(c.element_count) +
         ", \"triangles\": " + std::to_string(c.triangle_count) +
         ", \"field_points\": " + std::to_string(c.field_point_count) +
         ", \"field_cells\": " + std::to_string(c.field_cell_count) + "}}";
}

}  // namespace

void write_failure_json(int status, std::string_view report, output_channel& out,
                        const layout_explanation* layout) {
  out.write_record("{\"status\": " + std::to_string(status) +
                   ", \"report\": " + json_string(report) +
                   (layout != nullptr ? ", \"layout\": " + layout_json(*layout) : "") + "}");
}

}  // namespace cdbbem
