#include "mesh/coincident_nodes.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <vector>

#include "mesh/geometry.h"
#include "mesh/mesh_report.h"
#include "mesh/scratch_array.h"
#include "model/model.h"
#include "textrec/progress.h"

namespace cdbbem {

namespace {

// A node and the grid cell it falls in, its indices counted from 1 so
// that the cells around it have indices too.  Sorted by cell, then node
// number: the nodes of a column of cells (same x and y index) are
// consecutive and each cell lists its nodes lowest first.
struct cell_entry {
  std::uint64_t column;  // x index in the high half, y index in the low
  std::uint32_t cz;
  std::int32_t node;
};

struct cell_key {
  std::uint64_t column;
  std::uint32_t cz;
  friend auto operator<=>(const cell_key&, const cell_key&) = default;
};

cell_key key_of(const cell_entry& e) { return {e.column, e.cz}; }

std::uint64_t column_of(std::uint32_t cx, std::uint32_t cy) { return std::uint64_t{cx} << 32 | cy; }

// The cell index of an offset from the grid's corner, from 1.  Offsets are
// at most the bounding box's diagonal, so indices stay below 1e9; anything
// else (a coordinate that is not a number) goes to cell 1.
std::uint32_t cell_index(double offset, double cell_size) {
  double q = std::floor(offset / cell_size);
  return q >= 0.0 && q < 2e9 ? static_cast<std::uint32_t>(q) + 1 : 1;
}

scratch_array<cell_entry> sorted_cells(const model& m, double cell_size) {
  const std::int32_t n = m.counts.node_count;
  const auto& xyz = m.store.node_xyz;
  vec3 low = point_at(xyz.column(1));
  for (std::int32_t k = 2; k <= n; ++k) {
    const double* p = xyz.column(k);
    low = {std::min(low.x, p[0]), std::min(low.y, p[1]), std::min(low.z, p[2])};
  }
  const bool one_cell = !(cell_size > 0.0) || std::isinf(cell_size);
  scratch_array<cell_entry> cells(static_cast<std::size_t>(n));
  for (std::int32_t k = 1; k <= n; ++k) {
    cell_entry& e = cells[static_cast<std::size_t>(k - 1)];
    e = {column_of(1, 1), 1, k};
    if (!one_cell) {
      const double* p = xyz.column(k);
      e.column =
          column_of(cell_index(p[0] - low.x, cell_size), cell_index(p[1] - low.y, cell_size));
      e.cz = cell_index(p[2] - low.z, cell_size);
    }
  }
  // As one 128-bit key: column, then the z index and node as one word.
  std::sort(cells.begin(), cells.end(), [](const cell_entry& a, const cell_entry& b) {
    const std::uint64_t a_low = std::uint64_t{a.cz} << 32 | static_cast<std::uint32_t>(a.node);
    const std::uint64_t b_low = std::uint64_t{b.cz} << 32 | static_cast<std::uint32_t>(b.node);
    return a.column < b.column || (a.column == b.column && a_low < b_low);
  });
  return cells;
}

// The first entry after `at` that is in another cell: a few steps, then
// doubling strides, so that a crowded cell costs a logarithm to pass.
std::size_t next_cell(const scratch_array<cell_entry>& cells, std::size_t at) {
  const cell_key key = key_of(cells[at]);
  std::size_t end = at + 1;
  for (int k = 0; k < 8; ++k, ++end) {
    if (end == cells.size() || key_of(cells[end]) != key) {
      return end;
    }
  }
  std::size_t step = 8;
  while (end + step < cells.size() && key_of(cells[end + step]) == key) {
    end += step;
    step *= 2;
  }
  std::size_t last = std::min(end + step, cells.size());
  return static_cast<std::size_t>(
      std::partition_point(cells.begin() + static_cast<std::ptrdiff_t>(end),
                           cells.begin() + static_cast<std::ptrdiff_t>(last),
                           [&](const cell_entry& e) { return key_of(e) == key; }) -
      cells.begin());
}

}  // namespace

std::int64_t count_coincident_nodes(const model& m, double tolerance, example_list& examples) {
  if (m.counts.node_count < 2) {
    return 0;
  }
  const auto& xyz = m.store.node_xyz;
  // A margin over the tolerance keeps rounding in the cell division from
  // putting two nodes within the tolerance two cells apart.
  const scratch_array<cell_entry> cells = sorted_cells(m, tolerance * 1.25);
  const std::size_t count = cells.size();
  // One cursor per column of cells around the node's (x and y cell each
  // one below to one above).  The columns' lowest keys rise with the node's
  // key, so each cursor only moves forward over the sorted entries.
  std::size_t cursor[9] = {};
  std::int64_t found = 0;
  for (std::size_t i = 0; i < count; ++i) {
    progress_tick("checking nodes", static_cast<std::int64_t>(i), static_cast<std::int64_t>(count));
    const cell_entry& me = cells[i];
    const auto cx = static_cast<std::uint32_t>(me.column >> 32);
    const auto cy = static_cast<std::uint32_t>(me.column);
    std::int32_t lowest = 0;
    for (std::uint32_t column = 0; column < 9; ++column) {
      const std::uint64_t near = column_of(cx + column / 3 - 1, cy + column % 3 - 1);
      const cell_key first = {near, me.cz - 1};
      const cell_key last = {near, me.cz + 1};
      std::size_t& c = cursor[column];
      while (c < count && key_of(cells[c]) < first) {
        ++c;
      }
      for (std::size_t j = c; j < count && key_of(cells[j]) <= last; j = next_cell(cells, j)) {
        // Within a cell, nodes come lowest first: the first one within the
        // tolerance is the cell's lowest, and none past the node itself counts.
        const cell_key cell = key_of(cells[j]);
        for (std::size_t k = j; k < count && key_of(cells[k]) == cell && cells[k].node < me.node;
             ++k) {
          // Coordinates are fetched only for a candidate: in node order they
          // are scattered, and most nodes have none.
          const vec3 here = point_at(xyz.column(me.node));
          if (length(point_at(xyz.column(cells[k].node)) - here) <= tolerance) {
            lowest = lowest == 0 ? cells[k].node : std::min(lowest, cells[k].node);
            break;
          }
        }
      }
    }
    if (lowest != 0) {
      ++found;
      examples.offer({{0, 0}, {me.node, lowest, 0}});
    }
  }
  return found;
}

}  // namespace cdbbem
