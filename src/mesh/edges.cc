#include "mesh/edges.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "mesh/mesh_report.h"
#include "mesh/scratch_array.h"
#include "model/model.h"
#include "textrec/progress.h"

namespace cdbbem {

namespace {

// The triangles of each node, by rising triangle number: node u's are
// `triangles[first[u]]` up to (not including) `triangles[first[u + 1]]`.
struct incidence {
  scratch_array<std::int64_t> first;
  scratch_array<std::int32_t> triangles;
};

bool distinct(const std::int32_t* v) { return v[0] != v[1] && v[1] != v[2] && v[0] != v[2]; }

incidence node_triangles(const model& m) {
  const std::int32_t n = std::max(m.counts.node_count, 0);
  const std::int32_t t_count = m.counts.triangle_count;
  const auto& nodes = m.store.triangle_nodes;
  incidence inc;
  inc.first = scratch_array<std::int64_t>(static_cast<std::size_t>(n) + 2);
  // A triangle is listed once under each of its different nodes.
  auto each_node = [&](std::int32_t t, auto&& visit) {
    const std::int32_t* v = nodes.column(t);
    visit(v[0]);
    if (v[1] != v[0]) {
      visit(v[1]);
    }
    if (v[2] != v[0] && v[2] != v[1]) {
      visit(v[2]);
    }
  };
  for (std::int32_t t = 1; t <= t_count; ++t) {
    each_node(t, [&](std::int32_t u) { ++inc.first[static_cast<std::size_t>(u)]; });
  }
  for (std::size_t u = 1; u < inc.first.size(); ++u) {
    inc.first[u] += inc.first[u - 1];
  }
  inc.triangles = scratch_array<std::int32_t>(
      static_cast<std::size_t>(inc.first[static_cast<std::size_t>(n) + 1]));
  // Counts summed, `first[u]` is the end of node u's range; filling each
  // range from its end leaves it at the range's start.
  for (std::int32_t t = t_count; t >= 1; --t) {
    each_node(t, [&](std::int32_t u) {
      inc.triangles[static_cast<std::size_t>(--inc.first[static_cast<std::size_t>(u)])] = t;
    });
  }
  return inc;
}

// Surfaces: triangles joined through shared edges.
class forest {
 public:
  explicit forest(std::int32_t size) : parent_(static_cast<std::size_t>(std::max(size, 0)) + 1) {
    for (std::size_t k = 0; k < parent_.size(); ++k) {
      parent_[k] = static_cast<std::int32_t>(k);
    }
  }
  std::int32_t root(std::int32_t t) {
    while (parent_[at(t)] != t) {
      parent_[at(t)] = parent_[at(parent_[at(t)])];
      t = parent_[at(t)];
    }
    return t;
  }
  void join(std::int32_t a, std::int32_t b) {
    a = root(a);
    b = root(b);
    if (a != b) {
      parent_[at(std::max(a, b))] = std::min(a, b);
    }
  }

 private:
  static std::size_t at(std::int32_t t) { return static_cast<std::size_t>(t); }
  scratch_array<std::int32_t> parent_;
};

// One triangle along an edge met from its lower node, as one sortable
// word: the edge's other node, the triangle, and whether the triangle runs
// from the lower node to the other.
using edge_use = std::uint64_t;

edge_use make_use(std::int32_t other, std::int32_t triangle, bool forward) {
  return std::uint64_t{static_cast<std::uint32_t>(other)} << 32 |
         std::uint64_t{static_cast<std::uint32_t>(triangle)} << 1 | (forward ? 1u : 0u);
}
std::int32_t other_of(edge_use e) { return static_cast<std::int32_t>(e >> 32); }
std::int32_t triangle_of(edge_use e) { return static_cast<std::int32_t>((e >> 1) & 0x7fffffff); }
bool forward_of(edge_use e) { return (e & 1) != 0; }

// A triangle whose lowest node is the one at hand, by its two other nodes
// (the middle one in the high half of `others`).
struct triple {
  std::uint64_t others;
  std::int32_t triangle;
};

// A node's lists are short: insertion sort, which is stable, until they
// are not.
template <typename T, typename Less>
void sort_short(std::vector<T>& v, Less less) {
  if (v.size() > 32) {
    std::stable_sort(v.begin(), v.end(), less);
    return;
  }
  for (std::size_t k = 1; k < v.size(); ++k) {
    T x = v[k];
    std::size_t j = k;
    for (; j > 0 && less(x, v[j - 1]); --j) {
      v[j] = v[j - 1];
    }
    v[j] = x;
  }
}

class edge_walk {
 public:
  edge_walk(const model& m, mesh_report& r)
      : m_(m), r_(r), f_(r.figures), surfaces_(m.counts.triangle_count) {}

  void run() {
    const incidence inc = node_triangles(m_);
    const std::int32_t n = std::max(m_.counts.node_count, 0);
    for (std::int32_t u = 1; u <= n; ++u) {
      progress_tick("checking edges", u, n);
      const auto begin = inc.triangles.begin() + inc.first[static_cast<std::size_t>(u)];
      const auto end = inc.triangles.begin() + inc.first[static_cast<std::size_t>(u) + 1];
      if (begin == end) {
        ++f_.unused_nodes;
        continue;
      }
      gather(u, begin, end);
      edges_of(u);
      duplicates_of();
    }
    for (std::int32_t t = 1; t <= m_.counts.triangle_count; ++t) {
      if (distinct(m_.store.triangle_nodes.column(t)) && surfaces_.root(t) == t) {
        ++f_.surfaces;
      }
    }
  }

 private:
  std::int32_t element(std::int32_t t) const {
    return r_.triangle_element[static_cast<std::size_t>(t - 1)];
  }
  void flag(std::int32_t t, std::uint8_t bits) {
    r_.triangle_defects[static_cast<std::size_t>(t - 1)] |= bits;
  }

  template <typename It>
  void gather(std::int32_t u, It begin, It end) {
    uses_.clear();
    triples_.clear();
    for (It it = begin; it != end; ++it) {
      const std::int32_t t = *it;
      const std::int32_t* v = m_.store.triangle_nodes.column(t);
      // u is one of the three; the nodes after and before it in the
      // triangle's order give its two edges at u.
      const int at = v[0] == u ? 0 : v[1] == u ? 1 : 2;
      const std::int32_t next = v[(at + 1) % 3], previous = v[(at + 2) % 3];
      if (distinct(v)) {
        if (next > u) {
          uses_.push_back(make_use(next, t, true));
        }
        if (previous > u) {
          uses_.push_back(make_use(previous, t, false));
        }
      }
      if (next >= u && previous >= u) {
        const std::int32_t low = std::min(next, previous), high = std::max(next, previous);
        triples_.push_back({std::uint64_t{static_cast<std::uint32_t>(low)} << 32 |
                                static_cast<std::uint32_t>(high),
                            t});
      }
    }
  }

  void edges_of(std::int32_t u) {
    sort_short(uses_, std::less<edge_use>());
    for (std::size_t g = 0; g < uses_.size();) {
      std::size_t h = g + 1;
      while (h < uses_.size() && other_of(uses_[h]) == other_of(uses_[g])) {
        ++h;
      }
      edge(u, g, h);
      g = h;
    }
  }

  // The triangles uses_[g] up to uses_[h] share the edge from u.
  void edge(std::int32_t u, std::size_t g, std::size_t h) {
    const std::int32_t v = other_of(uses_[g]);
    const std::int32_t first = triangle_of(uses_[g]);
    for (std::size_t k = g + 1; k < h; ++k) {
      surfaces_.join(first, triangle_of(uses_[k]));
    }
    if (h - g == 1) {
      ++f_.open_edges;
      flag(first, defect_flag::open_edge);
      r_.examples.open_edges.offer({{element(first), 0}, {u, v, 0}});
      return;
    }
    if (h - g == 2) {
      const std::int32_t second = triangle_of(uses_[g + 1]);
      if (forward_of(uses_[g]) == forward_of(uses_[g + 1])) {
        ++f_.misoriented_edges;
        flag(first, defect_flag::misoriented_edge);
        flag(second, defect_flag::misoriented_edge);
        r_.examples.misoriented_edges.offer(two_elements(element(first), element(second), u, v));
      }
      return;
    }
    ++f_.nonmanifold_edges;
    std::int32_t low = element(first);
    std::int32_t next = element(triangle_of(uses_[g + 1]));
    if (element_before(next, low)) {
      std::swap(low, next);
    }
    for (std::size_t k = g; k < h; ++k) {
      flag(triangle_of(uses_[k]), defect_flag::nonmanifold_edge);
      const std::int32_t e = element(triangle_of(uses_[k]));
      if (k >= g + 2 && element_before(e, next)) {
        next = element_before(e, low) ? std::exchange(low, e) : e;
      }
    }
    r_.examples.nonmanifold_edges.offer({{low, next}, {u, v, 0}, static_cast<std::int64_t>(h - g)});
  }

  // Element numbers in the order of examples: 0 (none) after all others.
  static bool element_before(std::int32_t a, std::int32_t b) {
    return static_cast<std::uint32_t>(a - 1) < static_cast<std::uint32_t>(b - 1);
  }

  static defect_example two_elements(std::int32_t a, std::int32_t b, std::int32_t u,
                                     std::int32_t v) {
    return element_before(b, a) ? defect_example{{b, a}, {u, v, 0}}
                                : defect_example{{a, b}, {u, v, 0}};
  }

  // Triangles with the same three nodes as a lower-numbered one; all of
  // them have the node at hand as their lowest.  They were gathered by
  // rising triangle number, and the sort keeps that order among equals.
  void duplicates_of() {
    sort_short(triples_, [](const triple& a, const triple& b) { return a.others < b.others; });
    for (std::size_t g = 0; g < triples_.size();) {
      std::size_t h = g + 1;
      for (; h < triples_.size() && triples_[h].others == triples_[g].others; ++h) {
        const std::int32_t t = triples_[h].triangle;
        const std::int32_t* v = m_.store.triangle_nodes.column(t);
        ++f_.duplicate_triangles;
        flag(t, defect_flag::duplicate);
        r_.examples.duplicate_triangles.offer(
            {{element(t), element(triples_[g].triangle)}, {v[0], v[1], v[2]}});
      }
      g = h;
    }
  }

  const model& m_;
  mesh_report& r_;
  mesh_figures& f_;
  forest surfaces_;
  std::vector<edge_use> uses_;
  std::vector<triple> triples_;
};

}  // namespace

void analyse_edges(const model& m, mesh_report& r) { edge_walk(m, r).run(); }

}  // namespace cdbbem
