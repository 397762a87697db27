// skin_bench: times the skin search alone on ten-node tets held in memory
// as the archive reading holds them (element records beside one array of
// node fields).
//
// The mesh is an n x n x n grid of unit cubes, each split into six tets
// around its diagonal, with a node at every half step of the grid (the
// corners and the middles of the tets' edges).  Its skin is the cube's six
// sides, two triangles per grid square.  With `bricks` each cube is one
// eight-node brick of the grid's corners, and the skin one face per square.
//
// usage: skin_bench [ELEMENTS [THREADS [REPETITIONS [tets|bricks]]]]
//   (1000000, 1, 3, tets)
//
// Prints the best wall and processor time of the search, and the peak
// resident memory the first search added (Linux: the peak is reset
// through /proc/self/clear_refs before it, where that is allowed).

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "model/skin.h"
#include "model/solid_faces.h"

namespace {

using cdbbem::solid_shape;

// An element record as the archive reading keeps it.
struct element_record {
  std::int64_t line;
  std::int32_t label;
  std::int32_t itype;
  std::uint32_t first_node;
  std::int32_t node_count;
};

struct tet_mesh {
  std::vector<element_record> elements;
  std::vector<std::int32_t> nodes;
  std::vector<solid_shape> shapes;
};

// Room for `each` elements of `nodes` node fields in each of n^3 cubes.
void make_room(tet_mesh& m, int n, int each, int nodes, solid_shape shape) {
  const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n) *
                            static_cast<std::size_t>(n) * static_cast<std::size_t>(each);
  m.elements.reserve(count);
  m.nodes.reserve(count * static_cast<std::size_t>(nodes));
  m.shapes.assign(count, shape);
}

// The six tets of cube (i, j, k), each as its corners in half steps.
tet_mesh build(int n) {
  tet_mesh m;
  const std::int64_t side = 2 * n + 1;
  auto label = [&](std::array<int, 3> p) {
    return static_cast<std::int32_t>((p[2] * side + p[1]) * side + p[0] + 1);
  };
  const int edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  make_room(m, n, 6, 10, solid_shape::tet10);
  for (int k = 0; k < n; ++k) {
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        const std::array<int, 3> o = {2 * i, 2 * j, 2 * k};
        std::array<int, 3> axes = {0, 1, 2};
        do {
          std::array<std::array<int, 3>, 4> c = {o, o, o, {o[0] + 2, o[1] + 2, o[2] + 2}};
          c[1][static_cast<std::size_t>(axes[0])] += 2;
          c[2] = c[1];
          c[2][static_cast<std::size_t>(axes[1])] += 2;
          if ((axes[0] + 1) % 3 != axes[1]) {
            std::swap(c[1], c[2]);
          }
          const auto first = static_cast<std::uint32_t>(m.nodes.size());
          for (const auto& p : c) {
            m.nodes.push_back(label(p));
          }
          for (const auto& e : edges) {
            const auto& a = c[static_cast<std::size_t>(e[0])];
            const auto& b = c[static_cast<std::size_t>(e[1])];
            m.nodes.push_back(label({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}));
          }
          const auto number = static_cast<std::int32_t>(m.elements.size() + 1);
          m.elements.push_back({2 * std::int64_t{number}, number, 1, first, 10});
        } while (std::next_permutation(axes.begin(), axes.end()));
      }
    }
  }
  return m;
}

// The brick of cube (i, j, k), its corners numbered as the archive writes
// them: the bottom four, then the top four above them.
tet_mesh build_bricks(int n) {
  tet_mesh m;
  const std::int64_t side = n + 1;
  auto label = [&](int i, int j, int k) {
    return static_cast<std::int32_t>((k * side + j) * side + i + 1);
  };
  make_room(m, n, 1, 8, solid_shape::brick8);
  for (int k = 0; k < n; ++k) {
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        const auto first = static_cast<std::uint32_t>(m.nodes.size());
        for (int z = 0; z < 2; ++z) {
          m.nodes.insert(m.nodes.end(), {label(i, j, k + z), label(i + 1, j, k + z),
                                         label(i + 1, j + 1, k + z), label(i, j + 1, k + z)});
        }
        const auto number = static_cast<std::int32_t>(m.elements.size() + 1);
        m.elements.push_back({2 * std::int64_t{number}, number, 1, first, 8});
      }
    }
  }
  return m;
}

// A field of /proc/self/status in kB, 0 where there is none.
long status_kb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) {
      return std::atol(line.c_str() + key.size());
    }
  }
  return 0;
}

bool reset_peak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5\n";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace

int main(int argc, char** argv) {
  const long wanted = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const int repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const bool bricks = argc > 4 && std::string(argv[4]) == "bricks";
  const int each = bricks ? 1 : 6;  // elements a cube
  const int n =
      std::max(1, static_cast<int>(std::lround(std::cbrt(static_cast<double>(wanted) / each))));
  const tet_mesh mesh = bricks ? build_bricks(n) : build(n);

  cdbbem::solid_elements solids;
  solids.count = static_cast<std::int64_t>(mesh.elements.size());
  solids.nodes = mesh.nodes.data();
  const auto record = static_cast<std::ptrdiff_t>(sizeof(element_record));
  solids.first_node = {&mesh.elements[0].first_node, record};
  solids.node_count = {&mesh.elements[0].node_count, record};
  solids.shape.first = mesh.shapes.data();
  const std::size_t expected =
      (bricks ? 6 : 12) * static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
  const long long side = bricks ? n + 1 : 2 * n + 1;
  std::printf("%d^3 cubes: %lld %s, %lld nodes, mesh arrays %.0f MB\n", n,
              static_cast<long long>(solids.count), bricks ? "eight-node bricks" : "ten-node tets",
              side * side * side, static_cast<double>(status_kb("VmRSS")) / 1024);

  double best_wall = 1e30, best_cpu = 1e30;
  long added_kb = -1;
  for (int r = 0; r < repetitions; ++r) {
    const bool peak_reset = reset_peak();
    const long before_kb = status_kb("VmRSS");
    const std::clock_t cpu_start = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const cdbbem::solid_skin skin = cdbbem::find_skin(solids, threads);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    // The first search's peak: later ones may reuse memory the allocator kept.
    if (peak_reset && r == 0) {
      added_kb = status_kb("VmHWM") - before_kb;
    }
    if (skin.faces.size() != expected || skin.shared_by_more != 0) {
      std::fprintf(stderr, "skin of %zu faces, %lld shared by more; expected %zu faces\n",
                   skin.faces.size(), static_cast<long long>(skin.shared_by_more), expected);
      return 1;
    }
    best_wall = std::min(best_wall, wall.count());
    best_cpu = std::min(best_cpu, cpu);
  }
  std::printf("threads %d: skin of %zu faces in %.3f s wall, %.3f s processor (best of %d)",
              threads, expected, best_wall, best_cpu, repetitions);
  if (added_kb >= 0) {
    std::printf(", peak memory added %.1f MB (%.1f bytes an element)",
                static_cast<double>(added_kb) / 1024,
                static_cast<double>(added_kb) * 1024 / static_cast<double>(solids.count));
  }
  std::printf("\n");
  return 0;
}
