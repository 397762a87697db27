#include "writers/vtu_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mesh/mesh_report.h"
#include "model/model.h"
#include "platform/files.h"
#include "textrec/progress.h"

namespace cdbbem {

namespace {

// The file through a bounded buffer; raises the write error when the
// system refuses bytes, and closes the file however the writer ends.
class binary_file {
 public:
  static constexpr std::size_t buffer_size = std::size_t{1} << 20;

  binary_file(const std::string& path, channel unit)
      : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)), unit_(unit) {
    open_error error;
    file_ = open_for_writing(path, error);
    if (file_ == no_file) {
      fail(error == open_error::access_denied ? report::access_denied : report::open_failure, unit);
    }
  }
  ~binary_file() { close_file(file_); }
  binary_file(const binary_file&) = delete;
  binary_file& operator=(const binary_file&) = delete;

  // Text longer than the buffer goes to the file directly.
  void put(std::string_view text) {
    if (buffer_size - used_ < text.size()) {
      flush();
    }
    if (text.size() > buffer_size) {
      write(text.data(), text.size());
      return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
  }

  template <typename T>
  void put_value(T value) {
    if (buffer_size - used_ < sizeof value) {
      flush();
    }
    std::memcpy(buffer_.get() + used_, &value, sizeof value);
    used_ += sizeof value;
  }

  // Flushes and cuts off whatever an earlier file of this name held beyond.
  void finish() {
    flush();
    if (!cut_after(file_, written_)) {
      fail(report::write_error, unit_);
    }
  }

 private:
  void flush() {
    write(buffer_.get(), used_);
    used_ = 0;
  }

  void write(const char* data, std::size_t size) {
    if (write_all(file_, data, size) != size) {
      fail(report::write_error, unit_);
    }
    written_ += size;
  }

  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  file_handle file_ = no_file;
  channel unit_;
};

template <typename T>
constexpr const char* vtk_type() {
  if constexpr (std::is_same_v<T, double>) {
    return "Float64";
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    return "Int64";
  } else if constexpr (std::is_same_v<T, std::uint8_t>) {
    return "UInt8";
  } else {
    return "Int32";
  }
}

// The parts of the grid an array belongs to, in the file's order.
enum class part { point_data, cell_data, points, cells };

// One array of the file: where it belongs, its name, its XML type, the
// size of a value, how many values, and where its block starts.
struct array_entry {
  part where;
  const char* name;
  const char* type;
  std::uint64_t value_size;
  std::uint64_t count;
  std::uint64_t offset = 0;
};

template <typename T>
array_entry entry(part where, const char* name, std::uint64_t count) {
  return {where, name, vtk_type<T>(), sizeof(T), count};
}

struct grid_sizes {
  std::int64_t nodes, points, triangles, cells;
  std::uint64_t total_points() const { return static_cast<std::uint64_t>(nodes + points); }
  std::uint64_t total_cells() const { return static_cast<std::uint64_t>(triangles + cells); }
  std::uint64_t corners() const { return static_cast<std::uint64_t>(3 * triangles + 4 * cells); }
  // Point ids and cell offsets are 32-bit when they fit.
  bool wide_ids() const { return total_points() > static_cast<std::uint64_t>(INT32_MAX); }
  bool wide_offsets() const { return corners() > static_cast<std::uint64_t>(INT32_MAX); }
};

// The arrays in the order of their blocks, each block a 64-bit byte count
// and the values.
std::vector<array_entry> arrays_of(const grid_sizes& g, bool node_labels) {
  const std::uint64_t p = g.total_points(), c = g.total_cells();
  std::vector<array_entry> arrays = {
      entry<double>(part::point_data, "potential", p),
      entry<std::int32_t>(part::point_data, "node_label", p),
      entry<std::int32_t>(part::cell_data, "bc_kind", c),
      entry<double>(part::cell_data, "bc_value", c),
      entry<std::int32_t>(part::cell_data, "element", c),
      entry<std::int32_t>(part::cell_data, "defect", c),
      entry<double>(part::points, "Points", 3 * p),
      g.wide_ids() ? entry<std::int64_t>(part::cells, "connectivity", g.corners())
                   : entry<std::int32_t>(part::cells, "connectivity", g.corners()),
      g.wide_offsets() ? entry<std::int64_t>(part::cells, "offsets", c)
                       : entry<std::int32_t>(part::cells, "offsets", c),
      entry<std::uint8_t>(part::cells, "types", c),
  };
  if (!node_labels) {
    arrays.erase(arrays.begin() + 1);
  }
  for (std::size_t k = 1; k < arrays.size(); ++k) {
    const array_entry& before = arrays[k - 1];
    arrays[k].offset = before.offset + 8 + before.value_size * before.count;
  }
  return arrays;
}

// Everything before the appended blocks, up to the "_" that starts them.
std::string xml_head(const grid_sizes& g, const std::vector<array_entry>& arrays) {
  static constexpr const char* tags[] = {"PointData Scalars=\"potential\"",
                                         "CellData Scalars=\"bc_kind\"", "Points", "Cells"};
  const char* order = std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian";
  std::string head = "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"1.0\"";
  head += " byte_order=\"" + std::string(order) + "\" header_type=\"UInt64\">\n";
  head += "  <UnstructuredGrid>\n    <Piece NumberOfPoints=\"" + std::to_string(g.total_points()) +
          "\" NumberOfCells=\"" + std::to_string(g.total_cells()) + "\">\n";
  for (std::size_t k = 0; k < arrays.size(); ++k) {
    const array_entry& a = arrays[k];
    const std::string tag = tags[static_cast<int>(a.where)];
    if (k == 0 || arrays[k - 1].where != a.where) {
      head += "      <" + tag + ">\n";
    }
    head += "        <DataArray type=\"" + std::string(a.type) + "\" Name=\"" + a.name + "\"";
    head += a.where == part::points ? " NumberOfComponents=\"3\"" : "";
    head += " format=\"appended\" offset=\"" + std::to_string(a.offset) + "\"/>\n";
    if (k + 1 == arrays.size() || arrays[k + 1].where != a.where) {
      head += "      </" + tag.substr(0, tag.find(' ')) + ">\n";
    }
  }
  head += "    </Piece>\n  </UnstructuredGrid>\n  <AppendedData encoding=\"raw\">\n   _";
  return head;
}

// Values written so far of all the file's blocks, for the progress line.
struct values_done {
  std::int64_t done = 0;
  std::int64_t total = 0;
};

// Writes an appended block: its byte count, then `count` values from
// `value(k)` for k = 0, 1, ...
template <typename T, typename F>
void put_block(binary_file& out, values_done& progress, std::uint64_t count, F value) {
  out.put_value<std::uint64_t>(count * sizeof(T));
  for (std::uint64_t k = 0; k < count; ++k) {
    progress_tick("writing the VTK file", progress.done++, progress.total);
    out.put_value<T>(static_cast<T>(value(k)));
  }
}

// The point and cell data: potentials (NaN where none, and at field
// points), then each cell's kind, value, element and defect bits (field
// cells: 0, 0, their label, 0).
void put_data(binary_file& out, values_done& progress, const model& m, const mesh_report& r,
              const grid_sizes& g, bool node_labels) {
  const model_store& s = m.store;
  const double none = std::numeric_limits<double>::quiet_NaN();
  put_block<double>(out, progress, g.total_points(), [&](std::uint64_t k) {
    const auto p = static_cast<std::int64_t>(k) + 1;
    return p <= g.nodes && s.node_potential[p] != NO_POTENTIAL ? s.node_potential[p] : none;
  });
  if (node_labels) {
    put_block<std::int32_t>(out, progress, g.total_points(), [&](std::uint64_t k) {
      return s.node_label[static_cast<std::int64_t>(k) + 1];
    });
  }
  auto triangle = [](std::uint64_t k) { return static_cast<std::int64_t>(k) + 1; };
  auto is_triangle = [&](std::uint64_t k) { return triangle(k) <= g.triangles; };
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? s.triangle_bc_kind[triangle(k)] : 0;
  });
  put_block<double>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? s.triangle_bc_value[triangle(k)] : 0.0;
  });
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? r.triangle_element[k] : s.field_cell_element[triangle(k) - g.triangles];
  });
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? r.triangle_defects[k] : 0;
  });
}

// Coordinates, three to a point, nodes then field points; each cell's
// point ids (node n is n - 1, field point p is N + p - 1), the end of
// each cell's ids, and its type.
template <typename Id, typename Offset>
void put_geometry(binary_file& out, values_done& progress, const model_store& s,
                  const grid_sizes& g) {
  const std::int64_t n = g.nodes, t_count = g.triangles;
  put_block<double>(out, progress, 3 * g.total_points(), [&](std::uint64_t k) {
    const auto p = static_cast<std::int64_t>(k / 3) + 1;
    const int axis = static_cast<int>(k % 3);
    return p <= n ? s.node_xyz.column(p)[axis] : s.field_point_xyz.column(p - n)[axis];
  });
  put_block<Id>(out, progress, g.corners(), [&](std::uint64_t k) {
    const auto corner = static_cast<std::int64_t>(k);
    if (corner < 3 * t_count) {
      return std::int64_t{s.triangle_nodes.column(corner / 3 + 1)[corner % 3]} - 1;
    }
    const std::int64_t q = corner - 3 * t_count;
    return n + s.field_cell_nodes.column(q / 4 + 1)[q % 4] - 1;
  });
  put_block<Offset>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    const auto c = static_cast<std::int64_t>(k) + 1;
    return c <= t_count ? 3 * c : 3 * t_count + 4 * (c - t_count);
  });
  constexpr std::uint8_t vtk_triangle = 5, vtk_quad = 9;
  put_block<std::uint8_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return static_cast<std::int64_t>(k) < t_count ? vtk_triangle : vtk_quad;
  });
}

}  // namespace

void write_vtu_file(const model& m, const mesh_report& r, const std::string& path, channel unit,
                    bool node_labels) {
  stage_scope stage("write_vtu_file", "vtu_file.cc");
  const model_counts& c = m.counts;
  const grid_sizes g = {std::max(c.node_count, 0), std::max(c.field_point_count, 0),
                        std::max(c.triangle_count, 0), std::max(c.field_cell_count, 0)};
  const std::vector<array_entry> arrays = arrays_of(g, node_labels);
  values_done progress;
  for (const array_entry& a : arrays) {
    progress.total += static_cast<std::int64_t>(a.count);
  }
  binary_file out(path, unit);
  out.put(xml_head(g, arrays));
  put_data(out, progress, m, r, g, node_labels);
  using i32 = std::int32_t;
  using i64 = std::int64_t;
  if (g.wide_ids()) {
    put_geometry<i64, i64>(out, progress, m.store, g);
  } else if (g.wide_offsets()) {
    put_geometry<i32, i64>(out, progress, m.store, g);
  } else {
    put_geometry<i32, i32>(out, progress, m.store, g);
  }
  out.put("\n  </AppendedData>\n</VTKFile>\n");
  out.finish();
}

}  // namespace cdbbem
