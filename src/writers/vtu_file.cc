#include "writers/vtu_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

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

  void put(const void* data, std::size_t size) {
    if (buffer_size - used_ < size) {
      flush();
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
  }
  void put(std::string_view text) { put(text.data(), text.size()); }

  template <typename T>
  void put_value(T value) {
    put(&value, sizeof value);
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
    if (write_all(file_, buffer_.get(), used_) != used_) {
      fail(report::write_error, unit_);
    }
    written_ += used_;
    used_ = 0;
  }

  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  file_handle file_ = no_file;
  channel unit_;
};

// One data array of the file: its XML type name, element size and count.
struct array_spec {
  const char* type;
  std::uint64_t element_size;
  std::uint64_t count;
  std::uint64_t bytes() const { return 8 + element_size * count; }
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

template <typename T>
array_spec spec(std::uint64_t count) {
  return {vtk_type<T>(), sizeof(T), count};
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

struct grid_sizes {
  std::int64_t nodes, points, triangles, cells;
  std::uint64_t total_points() const { return static_cast<std::uint64_t>(nodes + points); }
  std::uint64_t total_cells() const { return static_cast<std::uint64_t>(triangles + cells); }
  std::uint64_t corners() const { return static_cast<std::uint64_t>(3 * triangles + 4 * cells); }
};

std::string data_array(const array_spec& a, const char* name, std::uint64_t offset,
                       int components = 1) {
  std::string s = "        <DataArray type=\"" + std::string(a.type) + "\"";
  if (name != nullptr) {
    s += " Name=\"" + std::string(name) + "\"";
  }
  if (components != 1) {
    s += " NumberOfComponents=\"" + std::to_string(components) + "\"";
  }
  return s + " format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
}

template <typename Id>
void write_grid(binary_file& out, const model& m, const mesh_report& r, const grid_sizes& g) {
  using offset_type = std::int64_t;
  const model_store& s = m.store;
  const std::int64_t n = g.nodes, t_count = g.triangles;
  const std::int32_t e_count = m.counts.element_count;
  const bool wide_offsets = g.corners() > static_cast<std::uint64_t>(INT32_MAX);
  const array_spec arrays[] = {
      spec<double>(g.total_points()),       // potential
      spec<std::int32_t>(g.total_cells()),  // bc_kind
      spec<double>(g.total_cells()),        // bc_value
      spec<std::int32_t>(g.total_cells()),  // element
      spec<std::int32_t>(g.total_cells()),  // defect
      spec<double>(3 * g.total_points()),   // points
      spec<Id>(g.corners()),                // connectivity
      wide_offsets ? spec<offset_type>(g.total_cells()) : spec<std::int32_t>(g.total_cells()),
      spec<std::uint8_t>(g.total_cells()),  // types
  };
  std::uint64_t offsets[std::size(arrays)] = {};
  values_done progress;
  for (std::size_t k = 0; k < std::size(arrays); ++k) {
    progress.total += static_cast<std::int64_t>(arrays[k].count);
    if (k > 0) {
      offsets[k] = offsets[k - 1] + arrays[k - 1].bytes();
    }
  }
  const char* order = std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian";
  std::string head = "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" ";
  head += "byte_order=\"" + std::string(order) + "\" header_type=\"UInt64\">\n";
  head += "  <UnstructuredGrid>\n    <Piece NumberOfPoints=\"" + std::to_string(g.total_points()) +
          "\" NumberOfCells=\"" + std::to_string(g.total_cells()) + "\">\n";
  head += "      <PointData Scalars=\"potential\">\n";
  head += data_array(arrays[0], "potential", offsets[0]);
  head += "      </PointData>\n      <CellData Scalars=\"bc_kind\">\n";
  head += data_array(arrays[1], "bc_kind", offsets[1]);
  head += data_array(arrays[2], "bc_value", offsets[2]);
  head += data_array(arrays[3], "element", offsets[3]);
  head += data_array(arrays[4], "defect", offsets[4]);
  head += "      </CellData>\n      <Points>\n";
  head += data_array(arrays[5], "Points", offsets[5], 3);
  head += "      </Points>\n      <Cells>\n";
  head += data_array(arrays[6], "connectivity", offsets[6]);
  head += data_array(arrays[7], "offsets", offsets[7]);
  head += data_array(arrays[8], "types", offsets[8]);
  head += "      </Cells>\n    </Piece>\n  </UnstructuredGrid>\n";
  head += "  <AppendedData encoding=\"raw\">\n   _";
  out.put(head);

  const double none = std::numeric_limits<double>::quiet_NaN();
  put_block<double>(out, progress, g.total_points(), [&](std::uint64_t k) {
    const auto p = static_cast<std::int64_t>(k) + 1;
    return p <= n && s.node_potential[p] != NO_POTENTIAL ? s.node_potential[p] : none;
  });
  auto triangle = [&](std::uint64_t k) { return static_cast<std::int64_t>(k) + 1; };
  auto is_triangle = [&](std::uint64_t k) { return triangle(k) <= t_count; };
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? s.triangle_bc_kind[triangle(k)] : 0;
  });
  put_block<double>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? s.triangle_bc_value[triangle(k)] : 0.0;
  });
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? std::int64_t{r.triangle_element[k]}
                          : std::int64_t{e_count} + triangle(k) - t_count;
  });
  put_block<std::int32_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? r.triangle_defects[k] : 0;
  });
  // Coordinates, three to a point: node columns, then field point columns.
  put_block<double>(out, progress, 3 * g.total_points(), [&](std::uint64_t k) {
    const auto p = static_cast<std::int64_t>(k / 3) + 1;
    const int axis = static_cast<int>(k % 3);
    return p <= n ? s.node_xyz.column(p)[axis] : s.field_point_xyz.column(p - n)[axis];
  });
  // Point ids: node n is n - 1, field point p is N + p - 1.
  put_block<Id>(out, progress, g.corners(), [&](std::uint64_t k) {
    const auto corner = static_cast<std::int64_t>(k);
    if (corner < 3 * t_count) {
      return std::int64_t{s.triangle_nodes.column(corner / 3 + 1)[corner % 3]} - 1;
    }
    const std::int64_t q = corner - 3 * t_count;
    return n + s.field_cell_nodes.column(q / 4 + 1)[q % 4] - 1;
  });
  auto cell_end = [&](std::uint64_t k) {
    const auto c = static_cast<std::int64_t>(k) + 1;
    return c <= t_count ? 3 * c : 3 * t_count + 4 * (c - t_count);
  };
  if (wide_offsets) {
    put_block<offset_type>(out, progress, g.total_cells(), cell_end);
  } else {
    put_block<std::int32_t>(out, progress, g.total_cells(), cell_end);
  }
  constexpr std::uint8_t vtk_triangle = 5, vtk_quad = 9;
  put_block<std::uint8_t>(out, progress, g.total_cells(), [&](std::uint64_t k) {
    return is_triangle(k) ? vtk_triangle : vtk_quad;
  });
  out.put("\n  </AppendedData>\n</VTKFile>\n");
}

}  // namespace

void write_vtu_file(const model& m, const mesh_report& r, const std::string& path, channel unit) {
  stage_scope stage("write_vtu_file", "vtu_file.cc");
  const model_counts& c = m.counts;
  const grid_sizes g = {std::max(c.node_count, 0), std::max(c.field_point_count, 0),
                        std::max(c.triangle_count, 0), std::max(c.field_cell_count, 0)};
  binary_file out(path, unit);
  if (g.total_points() > static_cast<std::uint64_t>(INT32_MAX)) {
    write_grid<std::int64_t>(out, m, r, g);
  } else {
    write_grid<std::int32_t>(out, m, r, g);
  }
  out.finish();
}

}  // namespace cdbbem
