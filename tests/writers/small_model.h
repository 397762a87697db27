#ifndef CDBBEM_TESTS_WRITERS_SMALL_MODEL_H_
#define CDBBEM_TESTS_WRITERS_SMALL_MODEL_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/conditions.h"
#include "model/model.h"
#include "model/store.h"
#include "support/test_support.h"
#include "textrec/output_channel.h"

namespace cdbbem::testing {

/// A model store filled by hand for the writer tests.
struct small_model : model {
  /// Allocates the store for N nodes, E elements, P field points and C cells
  /// with every triangle a flux triangle of value 0.0; T starts at 0.
  small_model(std::int32_t n, std::int32_t e, std::int32_t p, std::int32_t c) {
    counts.node_count = n;
    counts.element_count = e;
    counts.field_point_count = p;
    counts.field_cell_count = c;
    allocate_store(counts, store, store_budget(0));
    set_default_conditions(store);
  }

  void node(std::int32_t n, double x, double y, double z) {
    double* xyz = store.node_xyz.column(n);
    xyz[0] = x;
    xyz[1] = y;
    xyz[2] = z;
  }
  void field_point(std::int32_t p, double x, double y, double z) {
    double* xyz = store.field_point_xyz.column(p);
    xyz[0] = x;
    xyz[1] = y;
    xyz[2] = z;
  }
  /// Adds triangle T + 1 with its condition.
  void triangle(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t kind = 2,
                double value = 0.0) {
    std::int32_t t = ++counts.triangle_count;
    std::int32_t* nodes = store.triangle_nodes.column(t);
    nodes[0] = a;
    nodes[1] = b;
    nodes[2] = c;
    store.triangle_bc_kind[t] = kind;
    store.triangle_bc_value[t] = value;
  }
  void cell(std::int32_t c, std::array<std::int32_t, 4> corners) {
    std::int32_t* cell = store.field_cell_nodes.column(c);
    for (std::size_t k = 0; k < 4; ++k) {
      cell[k] = corners[k];
    }
  }
};

/// The records of a file written with CR LF terminators; a final fragment
/// without its terminator is returned as a record too, so tests can see it.
inline std::vector<std::string> crlf_records(const std::string& text) {
  std::vector<std::string> records;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      records.push_back(text.substr(at));
      break;
    }
    records.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return records;
}

/// Runs `write` on an output channel opened on a fresh file, finishes the
/// channel as the run does and returns the file's records.
template <typename Writer>
std::vector<std::string> write_to_file(const small_model& m, Writer write, channel unit) {
  temp_dir dir;
  std::string path = dir.file("out");
  {
    output_channel out;
    out.open_file(path, unit);
    write(m, out);
    out.finish();
  }
  return crlf_records(read_file(path));
}

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_WRITERS_SMALL_MODEL_H_
