#include "writers/check_report.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "mesh/mesh_report.h"
#include "textrec/output_channel.h"
#include "writers/check_figures.h"
#include "writers/check_json.h"

namespace cdbbem {

namespace {

constexpr std::size_t value_column = 32;

std::string element_text(std::int32_t e) { return e != 0 ? std::to_string(e) : "?"; }

std::string nodes_text(const defect_example& e) {
  std::string s;
  for (std::int32_t n : e.nodes) {
    if (n != 0) {
      s += s.empty() ? "" : " ";
      s += std::to_string(n);
    }
  }
  return s;
}

std::string edge_text(const defect_example& e) {
  return "edge " + std::to_string(e.nodes[0]) + "-" + std::to_string(e.nodes[1]);
}

// One example line for the defect whose key is `key`.
std::string example_text(std::string_view key, const defect_example& e) {
  const std::string first = element_text(e.elements[0]);
  const std::string second = element_text(e.elements[1]);
  if (key == "coincident_nodes") {
    return "node " + std::to_string(e.nodes[0]) + " lies on node " + std::to_string(e.nodes[1]);
  }
  if (key == "degenerate_triangles") {
    return "element " + first + ": nodes " + nodes_text(e);
  }
  if (key == "duplicate_triangles") {
    return "element " + first + ": nodes " + nodes_text(e) + ", as element " + second;
  }
  if (key == "open_edges") {
    return "element " + first + ": " + edge_text(e);
  }
  if (key == "nonmanifold_edges") {
    return "elements " + first + ", " + second + ", ...: " + edge_text(e) + ", on " +
           std::to_string(e.uses) + " triangles";
  }
  return "elements " + first + " and " + second + ": " + edge_text(e) + ", run the same way";
}

const example_list* examples_of(const mesh_report& r, std::string_view key) {
  const defect_examples& x = r.examples;
  const std::pair<std::string_view, const example_list*> lists[] = {
      {"coincident_nodes", &x.coincident_nodes},
      {"degenerate_triangles", &x.degenerate_triangles},
      {"duplicate_triangles", &x.duplicate_triangles},
      {"open_edges", &x.open_edges},
      {"nonmanifold_edges", &x.nonmanifold_edges},
      {"misoriented_edges", &x.misoriented_edges},
  };
  for (const auto& [name, list] : lists) {
    if (name == key) {
      return list;
    }
  }
  return nullptr;
}

std::string value_text(const mesh_figures& f, const figure_row& row) {
  if (row.count != nullptr) {
    return std::to_string(f.*row.count);
  }
  if (row.flag != nullptr) {
    return (f.*row.flag)() ? "yes" : "no";
  }
  const std::string number = json_number(f.*row.real);
  return number == "null" ? "not finite" : number;
}

}  // namespace

namespace {

void figure_line(output_channel& out, std::string_view key, const std::string& value) {
  std::string line = "  " + std::string(key);
  line.append(value_column > line.size() ? value_column - line.size() : 1, ' ');
  out.write_record(line + value);
}

// The solids' figures, their defects added to `defects`.
void write_solid_check(const solid_check& c, output_channel& out, std::string& defects) {
  figure_line(out, "elements_volume", json_number(c.elements_volume));
  figure_line(out, "negative_volume_elements", std::to_string(c.negative));
  for (const auto& [label, volume] : c.negative_examples) {
    out.write_record("      element " + std::to_string(label) + ": volume " + json_number(volume));
  }
  if (c.negative > static_cast<std::int64_t>(c.negative_examples.size())) {
    out.write_record("      ...");
  }
  figure_line(out, "skin_volume_differs", c.volume_differs ? "1" : "0");
  if (c.volume_differs) {
    out.write_record("      skin volume differs from the elements' volume: " +
                     json_number(c.skin_volume) + " against " + json_number(c.elements_volume));
  }
  const char* keys[] = {"negative_volume_elements", "skin_volume_differs"};
  const bool found[] = {c.negative > 0, c.volume_differs};
  for (int k = 0; k < 2; ++k) {
    if (found[k]) {
      defects += (defects.empty() ? "" : ", ") + std::string(keys[k]);
    }
  }
}

}  // namespace

void write_check_report(const mesh_report& r, std::string_view archive, output_channel& out,
                        const solid_check* solids) {
  const mesh_figures& f = r.figures;
  out.write_record("Mesh check of " + std::string(archive));
  std::string defects;
  for (const figure_row& row : figure_rows) {
    std::string line = "  " + std::string(row.key);
    line.append(value_column > line.size() ? value_column - line.size() : 1, ' ');
    out.write_record(line + value_text(f, row));
    const example_list* examples = examples_of(r, row.key);
    if (examples == nullptr || f.*row.count == 0) {
      continue;
    }
    defects += (defects.empty() ? "" : ", ") + std::string(row.key);
    for (const defect_example& e : *examples) {
      out.write_record("      " + example_text(row.key, e));
    }
    if (f.*row.count > static_cast<std::int64_t>(examples->size())) {
      out.write_record("      ...");
    }
  }
  if (solids != nullptr) {
    write_solid_check(*solids, out, defects);
  }
  out.write_record(defects.empty() ? "Verdict: no defects found."
                                   : "Verdict: defects found (" + defects + ").");
}

}  // namespace cdbbem
