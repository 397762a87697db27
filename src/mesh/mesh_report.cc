#include "mesh/mesh_report.h"

#include <tuple>

namespace cdbbem {

namespace {

// Element numbers compare with 0 (none) after every other number.
auto order_key(const defect_example& e) {
  auto element = [](std::int32_t n) { return static_cast<std::uint32_t>(n - 1); };
  return std::tuple(element(e.elements[0]), element(e.elements[1]), e.nodes[0], e.nodes[1],
                    e.nodes[2]);
}

}  // namespace

void example_list::offer(const defect_example& e) {
  std::size_t at = size_;
  while (at > 0 && order_key(e) < order_key(items_[at - 1])) {
    --at;
  }
  if (at == capacity) {
    return;
  }
  std::size_t last = size_ < capacity ? size_ : capacity - 1;
  for (std::size_t k = last; k > at; --k) {
    items_[k] = items_[k - 1];
  }
  items_[at] = e;
  size_ = size_ < capacity ? size_ + 1 : capacity;
}

bool mesh_report::has_defects() const {
  const mesh_figures& f = figures;
  return f.coincident_nodes > 0 || f.degenerate_triangles > 0 || f.duplicate_triangles > 0 ||
         f.open_edges > 0 || f.nonmanifold_edges > 0 || f.misoriented_edges > 0;
}

}  // namespace cdbbem
