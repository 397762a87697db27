// The skin of solid elements: the faces of each solid form, and meshes
// built here with real coordinates whose skin must be closed, consistently
// oriented and enclose what their elements' volumes add up to.

#include "model/skin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "model/element_class.h"
#include "model/faces.h"
#include "model/model.h"
#include "model/solid_faces.h"
#include "model/store.h"
#include "model/triangulation.h"
#include "model/volume.h"
#include "textrec/failure.h"

namespace cdbbem::testing {
namespace {

using point = std::array<int, 3>;  // in quarters of a unit

// The edges of the quadratic forms, in the order of their midside fields.
constexpr int brick_edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int tet_edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

constexpr int stride = 20;

// Solids whose node fields are positions of nodes made as they are first
// named.  A distorted mesh moves every node by a small amount of its own.
struct mesh {
  bool distorted = false;
  std::map<point, std::int32_t> positions;
  std::vector<double> xyz;
  std::vector<std::int32_t> fields;  // `stride` per element
  std::vector<std::int32_t> written;
  std::vector<solid_shape> shapes;

  std::int32_t node(point p) {
    const auto [at, added] =
        positions.try_emplace(p, static_cast<std::int32_t>(xyz.size() / 3 + 1));
    if (added) {
      for (int a = 0; a < 3; ++a) {
        const double wobble =
            distorted ? 0.05 * std::sin(1.3 * p[0] + 2.1 * p[1] + 0.7 * p[2] + a) : 0.0;
        xyz.push_back(p[static_cast<std::size_t>(a)] / 4.0 + wobble);
      }
    }
    return at->second;
  }

  // Adds a solid with `corners` (8 for bricks, repeated for their
  // degenerate forms; 4 for tets) and, for the quadratic shapes, a node at
  // the middle of each edge (a collapsed edge's place repeats its corner);
  // `count` fields written, -1 for all.
  void add(solid_shape s, const std::vector<point>& corners, int count = -1) {
    std::array<std::int32_t, stride> f = {};
    for (std::size_t k = 0; k < corners.size(); ++k) {
      f[k] = node(corners[k]);
    }
    const bool brick = s == solid_shape::brick20;
    if (brick || s == solid_shape::tet10) {
      const int edges = brick ? 12 : 6;
      for (int e = 0; e < edges; ++e) {
        const int* ends = brick ? brick_edges[e] : tet_edges[e];
        const point& a = corners[static_cast<std::size_t>(ends[0])];
        const point& b = corners[static_cast<std::size_t>(ends[1])];
        f[corners.size() + static_cast<std::size_t>(e)] =
            node({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2});
      }
    }
    fields.insert(fields.end(), f.begin(), f.end());
    written.push_back(count >= 0 ? count : solid_field_count(s));
    shapes.push_back(s);
  }

  const std::int32_t* of(std::size_t k) const { return fields.data() + stride * k; }

  solid_elements view() const {
    solid_elements v;
    v.count = static_cast<std::int64_t>(shapes.size());
    v.nodes = fields.data();
    v.nodes_each = stride;
    v.node_count.first = written.data();
    v.shape.first = shapes.data();
    return v;
  }
};

point at(point o, int x, int y, int z) { return {o[0] + 4 * x, o[1] + 4 * y, o[2] + 4 * z}; }

std::vector<point> brick_corners(point o) {
  return {at(o, 0, 0, 0), at(o, 1, 0, 0), at(o, 1, 1, 0), at(o, 0, 1, 0),
          at(o, 0, 0, 1), at(o, 1, 0, 1), at(o, 1, 1, 1), at(o, 0, 1, 1)};
}

// The six tets of a unit cube around its diagonal from `o`, each of
// positive volume; they conform across neighbouring cubes.
std::vector<std::vector<point>> cube_tets(point o) {
  std::vector<std::vector<point>> tets;
  std::array<int, 3> axes = {0, 1, 2};
  do {
    point b = o, c = o;
    b[static_cast<std::size_t>(axes[0])] += 4;
    c = b;
    c[static_cast<std::size_t>(axes[1])] += 4;
    std::vector<point> t = {o, b, c, at(o, 1, 1, 1)};
    const int odd = (axes[0] + 1) % 3 == axes[1] ? 0 : 1;
    if (odd != 0) {
      std::swap(t[1], t[2]);
    }
    tets.push_back(t);
  } while (std::next_permutation(axes.begin(), axes.end()));
  return tets;
}

void add_tets(mesh& m, point o, solid_shape s, int count = -1) {
  for (const auto& t : cube_tets(o)) {
    m.add(s, t, count);
  }
}

// A tet written as a brick: K = L and M = N = O = P.
void add_tets_as_bricks(mesh& m, point o, solid_shape s) {
  for (const auto& t : cube_tets(o)) {
    m.add(s, {t[0], t[1], t[2], t[2], t[3], t[3], t[3], t[3]});
  }
}

// Two wedges (K = L, O = P) on the triangles of the cube's bottom.
void add_wedges(mesh& m, point o, solid_shape s) {
  const auto c = brick_corners(o);
  m.add(s, {c[0], c[1], c[2], c[2], c[4], c[5], c[6], c[6]});
  m.add(s, {c[0], c[2], c[3], c[3], c[4], c[6], c[7], c[7]});
}

// Six pyramids (M = N = O = P) from the cube's faces to its centre: each
// base is a face of the brick turned inward.
void add_pyramids(mesh& m, point o, solid_shape s) {
  const auto c = brick_corners(o);
  const std::size_t outward[6][4] = {{1, 0, 3, 2}, {0, 1, 5, 4}, {1, 2, 6, 5},
                                     {2, 3, 7, 6}, {3, 0, 4, 7}, {4, 5, 6, 7}};
  const point centre = {o[0] + 2, o[1] + 2, o[2] + 2};
  for (const auto& f : outward) {
    m.add(s, {c[f[3]], c[f[2]], c[f[1]], c[f[0]], centre, centre, centre, centre});
  }
}

// Each directed edge of triangles 1..T used once and its reverse once; an
// edge with a node at its middle in `split` counts as its two halves.
void expect_closed(const model& m, const std::map<std::pair<int, int>, int>& split) {
  std::map<std::pair<int, int>, int> uses;
  auto use = [&](auto& self, int a, int b) -> void {
    const auto middle = split.find({std::min(a, b), std::max(a, b)});
    if (middle != split.end()) {
      self(self, a, middle->second);
      self(self, middle->second, b);
    } else {
      ++uses[{a, b}];
    }
  };
  for (std::int32_t t = 1; t <= m.counts.triangle_count; ++t) {
    const std::int32_t* n = m.store.triangle_nodes.column(t);
    for (int k = 0; k < 3; ++k) {
      use(use, n[k], n[(k + 1) % 3]);
    }
  }
  ASSERT_FALSE(uses.empty());
  for (const auto& [edge, count] : uses) {
    EXPECT_EQ(count, 1) << edge.first << "-" << edge.second;
    EXPECT_TRUE(uses.contains({edge.second, edge.first})) << edge.first << "-" << edge.second;
  }
}

// The skin's faces made into triangles of a model over the mesh's nodes.
model skin_model(const mesh& s, const solid_skin& skin) {
  model m;
  m.counts.node_count = static_cast<std::int32_t>(s.xyz.size() / 3);
  m.counts.element_count =
      std::max<std::int32_t>(3 * static_cast<std::int32_t>(skin.faces.size()), 1);
  allocate_store(m.counts, m.store, store_budget(0));
  std::copy(s.xyz.begin(), s.xyz.end(), m.store.node_xyz.begin());
  triangle_builder triangles(m);
  for (std::size_t k = 0; k < skin.faces.size(); ++k) {
    const skin_face& f = skin.faces[k];
    triangles.begin_element(static_cast<std::int64_t>(k) + 1, static_cast<std::int32_t>(f.element));
    const element_face e =
        solid_face(s.of(f.element), s.written[f.element], s.shapes[f.element], f.face);
    triangulate_face(triangles, e.corners, e.corner_count, e.midsides, f.face);
  }
  triangles.finish();
  return m;
}

// The midside nodes of every edge of the mesh's quadratic faces.
std::map<std::pair<int, int>, int> midsides_of(const mesh& s) {
  std::map<std::pair<int, int>, int> split;
  for (std::size_t k = 0; k < s.shapes.size(); ++k) {
    for (int face = 1; face <= solid_face_count(s.shapes[k]); ++face) {
      const element_face f = solid_face(s.of(k), s.written[k], s.shapes[k], face);
      for (int e = 0; e < f.corner_count; ++e) {
        const int a = f.corners[e], b = f.corners[(e + 1) % f.corner_count];
        if (f.midsides[e] != 0) {
          split[{std::min(a, b), std::max(a, b)}] = f.midsides[e];
        }
      }
    }
  }
  return split;
}

// The unit brick and tet with a midside node at the middle of each edge:
// node fields 1 to 20 (10), coordinates by position.
struct reference_solid {
  solid_shape shape;
  std::vector<double> xyz;
  std::vector<std::int32_t> fields;

  reference_solid(solid_shape s, const std::vector<std::array<double, 3>>& corners,
                  const int (*edges)[2], int edge_count)
      : shape(s) {
    for (const auto& p : corners) {
      xyz.insert(xyz.end(), p.begin(), p.end());
    }
    for (int k = 0; k < edge_count; ++k) {
      const auto& a = corners[static_cast<std::size_t>(edges[k][0])];
      const auto& b = corners[static_cast<std::size_t>(edges[k][1])];
      xyz.insert(xyz.end(), {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2});
    }
    for (std::int32_t k = 1; k <= static_cast<std::int32_t>(xyz.size() / 3); ++k) {
      fields.push_back(k);
    }
  }
  std::array<double, 3> at(std::int32_t position) const {
    const double* p = &xyz[3 * static_cast<std::size_t>(position - 1)];
    return {p[0], p[1], p[2]};
  }
};

reference_solid unit_brick() {
  return {solid_shape::brick20,
          {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
          brick_edges,
          12};
}

reference_solid unit_tet() {
  return {solid_shape::tet10, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, tet_edges, 6};
}

// Each face's corners lie in a plane whose right-hand normal is the one
// expected of its face number, and each midside lies at the middle of its
// edge; the same fields read as the linear shape have no midsides.
TEST(solid_faces_test, faces_face_outward_with_the_midsides_of_their_edges) {
  const double r = 1 / std::sqrt(3.0);
  const struct {
    reference_solid solid;
    solid_shape linear;
    std::vector<std::array<double, 3>> normals;
  } cases[] = {
      {unit_brick(),
       solid_shape::brick8,
       {{0, 0, -1}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
      {unit_tet(), solid_shape::tet4, {{0, 0, -1}, {0, -1, 0}, {r, r, r}, {-1, 0, 0}}},
  };
  for (const auto& c : cases) {
    const reference_solid& s = c.solid;
    ASSERT_EQ(solid_face_count(s.shape), static_cast<int>(c.normals.size()));
    for (int face = 1; face <= solid_face_count(s.shape); ++face) {
      SCOPED_TRACE(face);
      const element_face f =
          solid_face(s.fields.data(), static_cast<int>(s.fields.size()), s.shape, face);
      // Newell's normal of the corner polygon.
      std::array<double, 3> n = {0, 0, 0};
      for (int k = 0; k < f.corner_count; ++k) {
        const auto p = s.at(f.corners[k]), q = s.at(f.corners[(k + 1) % f.corner_count]);
        n[0] += (p[1] - q[1]) * (p[2] + q[2]);
        n[1] += (p[2] - q[2]) * (p[0] + q[0]);
        n[2] += (p[0] - q[0]) * (p[1] + q[1]);
        const auto m = s.at(f.midsides[k]);
        for (int a = 0; a < 3; ++a) {
          EXPECT_EQ(m[static_cast<std::size_t>(a)],
                    (p[static_cast<std::size_t>(a)] + q[static_cast<std::size_t>(a)]) / 2);
        }
      }
      const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(n[static_cast<std::size_t>(a)] / length,
                    c.normals[static_cast<std::size_t>(face - 1)][static_cast<std::size_t>(a)],
                    1e-15);
      }
      const element_face linear =
          solid_face(s.fields.data(), static_cast<int>(s.fields.size()), c.linear, face);
      EXPECT_TRUE(std::equal(f.corners, f.corners + 4, linear.corners));
      EXPECT_EQ(std::count(linear.midsides, linear.midsides + 4, 0), 4);
    }
  }
}

// Degenerate bricks keep the brick's face numbers: the faces that collapse
// have fewer than 3 distinct corners and give no triangles, and a
// collapsed edge has no midside whatever its place holds (the repeated
// corner, the apex).  A ten-node tet written with its corners alone is
// linear.
TEST(solid_faces_test, collapsed_faces_and_edges_go) {
  const struct {
    const char* name;
    solid_shape shape;
    std::array<int, 8> corners;  // corners of the unit brick
    int field_count;
    std::set<int> faces_with_area;
  } cases[] = {
      {"wedge", solid_shape::brick20, {0, 1, 2, 2, 4, 5, 6, 6}, 20, {1, 2, 3, 5, 6}},
      {"pyramid", solid_shape::brick20, {0, 1, 2, 3, 4, 4, 4, 4}, 20, {1, 2, 3, 4, 5}},
      {"tet", solid_shape::brick20, {0, 1, 2, 2, 4, 4, 4, 4}, 20, {1, 2, 3, 5}},
      {"tet, 8 nodes", solid_shape::brick8, {0, 1, 2, 2, 4, 4, 4, 4}, 8, {1, 2, 3, 5}},
      {"ten-node tet of 4 fields", solid_shape::tet10, {0, 1, 2, 4}, 4, {1, 2, 3, 4}},
  };
  const std::vector<point> brick = brick_corners({0, 0, 0});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mesh s;
    std::vector<point> corners;
    for (int k = 0; k < (c.shape == solid_shape::tet10 ? 4 : 8); ++k) {
      corners.push_back(brick[static_cast<std::size_t>(c.corners[static_cast<std::size_t>(k)])]);
    }
    s.add(c.shape, corners, c.field_count);
    const std::int32_t* fields = s.of(0);
    model m;
    m.counts.node_count = static_cast<std::int32_t>(s.xyz.size() / 3);
    m.counts.element_count = 32;
    allocate_store(m.counts, m.store, store_budget(0));
    std::copy(s.xyz.begin(), s.xyz.end(), m.store.node_xyz.begin());
    triangle_builder triangles(m);
    for (int face = 1; face <= solid_face_count(c.shape); ++face) {
      SCOPED_TRACE(face);
      std::int32_t distinct[4];
      const bool area = c.faces_with_area.contains(face);
      EXPECT_EQ(solid_face_corners(fields, c.field_count, c.shape, face, distinct) >= 3, area);
      const element_face f = solid_face(fields, c.field_count, c.shape, face);
      for (int k = 0; k < f.corner_count; ++k) {
        const bool collapsed = f.corners[k] == f.corners[(k + 1) % f.corner_count];
        const bool quadratic = c.shape == solid_shape::brick20;
        EXPECT_EQ(f.midsides[k] != 0, quadratic && !collapsed) << "edge " << k;
      }
      triangles.begin_element(face, 1);
      const std::int32_t before = triangles.count();
      triangulate_face(triangles, f.corners, f.corner_count, f.midsides,
                       static_cast<std::uint8_t>(face));
      EXPECT_EQ(triangles.count() > before, area);
    }
  }
}

TEST(solid_faces_test, shapes_by_class_and_option) {
  const struct {
    element_class c;
    std::int32_t option;
    solid_shape shape;
  } cases[] = {
      {element_class::brick8, 0, solid_shape::brick8},
      {element_class::brick20, 0, solid_shape::brick20},
      {element_class::tet4, 0, solid_shape::tet4},
      {element_class::tet10, 0, solid_shape::tet10},
      {element_class::mesh_volume, 8, solid_shape::tet4},
      {element_class::mesh_volume, 9, solid_shape::tet10},
      {element_class::mesh_volume, 10, solid_shape::brick8},
      {element_class::mesh_volume, 11, solid_shape::brick20},
      {element_class::mesh_volume, 12, solid_shape::none},
      {element_class::mesh_surface, 7, solid_shape::none},
      {element_class::shell, 0, solid_shape::none},
      {element_class::surface_effect, 0, solid_shape::none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(solid_shape_of(c.c, c.option), c.shape) << static_cast<int>(c.c) << " " << c.option;
  }
}

// The volume of an element turned inside out is negative.
TEST(solid_faces_test, volumes_have_the_sign_of_the_node_order) {
  const reference_solid brick = unit_brick();
  solid_volumes volumes(brick.xyz.data());
  const std::int32_t upright[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::int32_t inverted[8] = {5, 6, 7, 8, 1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(volumes.of(upright, 8, solid_shape::brick8), 1);
  EXPECT_DOUBLE_EQ(volumes.of(inverted, 8, solid_shape::brick8), -1);
  EXPECT_DOUBLE_EQ(volumes.of(brick.fields.data(), 20, solid_shape::brick20), 1);
}

struct mesh_case {
  const char* name;
  void (*build)(mesh&);
  std::size_t skin_faces;
  double volume;       // NAN for a distorted mesh
  bool hanging_nodes;  // linear faces beside quadratic ones
};

TEST(skin_test, skins_are_closed_and_enclose_the_elements_volume) {
  const mesh_case cases[] = {
      {"8-node bricks, 2x2x1",
       [](mesh& m) {
         for (int i = 0; i < 2; ++i) {
           for (int j = 0; j < 2; ++j) {
             m.add(solid_shape::brick8, brick_corners({4 * i, 4 * j, 0}));
           }
         }
       },
       16, 4, false},
      {"20-node bricks, 2x1x1",
       [](mesh& m) {
         m.add(solid_shape::brick20, brick_corners({0, 0, 0}));
         m.add(solid_shape::brick20, brick_corners({4, 0, 0}));
       },
       10, 2, false},
      {"4-node tets, 2x2x2 cubes",
       [](mesh& m) {
         for (int c = 0; c < 8; ++c) {
           add_tets(m, at({0, 0, 0}, c & 1, (c >> 1) & 1, c >> 2), solid_shape::tet4);
         }
       },
       48, 8, false},
      {"10-node tets, 2x1x1 cubes",
       [](mesh& m) {
         add_tets(m, {0, 0, 0}, solid_shape::tet10);
         add_tets(m, {4, 0, 0}, solid_shape::tet10);
       },
       20, 2, false},
      {"10-node tets written with 4 fields",
       [](mesh& m) {
         add_tets(m, {0, 0, 0}, solid_shape::tet10, 4);
       },
       12, 1, false},
      {"two tets sharing a face",
       [](mesh& m) {
         m.add(solid_shape::tet4, {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 4}});
         m.add(solid_shape::tet4, {{4, 0, 0}, {0, 0, 0}, {0, 4, 0}, {0, 0, -4}});
       },
       6, 1.0 / 3, false},
      {"wedges as 8-node bricks, 2x1x1",
       [](mesh& m) {
         add_wedges(m, {0, 0, 0}, solid_shape::brick8);
         add_wedges(m, {4, 0, 0}, solid_shape::brick8);
       },
       14, 2, false},
      {"wedges as 20-node bricks",
       [](mesh& m) {
         add_wedges(m, {0, 0, 0}, solid_shape::brick20);
       },
       8, 1, false},
      {"pyramids as 8-node bricks",
       [](mesh& m) {
         add_pyramids(m, {0, 0, 0}, solid_shape::brick8);
       },
       6, 1, false},
      {"pyramids as 20-node bricks",
       [](mesh& m) {
         add_pyramids(m, {0, 0, 0}, solid_shape::brick20);
       },
       6, 1, false},
      {"tets as 8-node bricks",
       [](mesh& m) {
         add_tets_as_bricks(m, {0, 0, 0}, solid_shape::brick8);
       },
       12, 1, false},
      {"tets as 20-node bricks beside 10-node tets",
       [](mesh& m) {
         add_tets_as_bricks(m, {0, 0, 0}, solid_shape::brick20);
         add_tets(m, {4, 0, 0}, solid_shape::tet10);
       },
       20, 2, false},
      {"a 20-node brick beside an 8-node brick",
       [](mesh& m) {
         m.add(solid_shape::brick20, brick_corners({0, 0, 0}));
         m.add(solid_shape::brick8, brick_corners({4, 0, 0}));
       },
       10, 2, true},
      {"distorted 8-node bricks, 2x2x2",
       [](mesh& m) {
         m.distorted = true;
         for (int c = 0; c < 8; ++c) {
           m.add(solid_shape::brick8, brick_corners(at({0, 0, 0}, c & 1, (c >> 1) & 1, c >> 2)));
         }
       },
       24, NAN, false},
      {"distorted 10-node tets, 2x2x1 cubes",
       [](mesh& m) {
         m.distorted = true;
         for (int c = 0; c < 4; ++c) {
           add_tets(m, at({0, 0, 0}, c & 1, c >> 1, 0), solid_shape::tet10);
         }
       },
       32, NAN, false},
  };
  for (const mesh_case& c : cases) {
    SCOPED_TRACE(c.name);
    mesh s;
    c.build(s);
    const solid_skin skin = find_skin(s.view(), 1);
    EXPECT_EQ(skin.faces.size(), c.skin_faces);
    EXPECT_EQ(skin.shared_by_more, 0);
    EXPECT_TRUE(std::is_sorted(skin.faces.begin(), skin.faces.end(), [](skin_face a, skin_face b) {
      return a.element != b.element ? a.element < b.element : a.face < b.face;
    }));
    // Two threads, and matched through buckets in two parts.
    for (const solid_skin& two : {find_skin(s.view(), 2), find_skin(s.view(), 2, 20)}) {
      ASSERT_EQ(two.faces.size(), skin.faces.size());
      for (std::size_t k = 0; k < skin.faces.size(); ++k) {
        EXPECT_EQ(two.faces[k].element, skin.faces[k].element);
        EXPECT_EQ(two.faces[k].face, skin.faces[k].face);
      }
    }

    const model m = skin_model(s, skin);
    expect_closed(m, c.hanging_nodes ? midsides_of(s) : std::map<std::pair<int, int>, int>{});
    solid_volumes volumes(s.xyz.data());
    double sum = 0;
    for (std::size_t k = 0; k < s.shapes.size(); ++k) {
      const double v = volumes.of(s.of(k), s.written[k], s.shapes[k]);
      EXPECT_GT(v, 0) << "element " << k;
      sum += v;
    }
    EXPECT_NEAR(enclosed_volume(m), sum, 1e-13 * sum);
    if (!std::isnan(c.volume)) {
      EXPECT_NEAR(sum, c.volume, 1e-13 * c.volume);
    }
  }
}

// Faces that are not a closed skin's: a face of three elements is not skin
// and is counted; two faces of one element with one corner set (a brick of
// no height) are skin, as no other element has them.
TEST(skin_test, faces_of_three_elements_and_of_one) {
  const point a = {0, 0, 0}, b = {4, 0, 0}, c = {0, 4, 0}, d = {4, 4, 0};
  const struct {
    const char* name;
    std::vector<std::pair<solid_shape, std::vector<point>>> elements;
    std::vector<std::pair<std::uint32_t, int>> skin;
    std::int64_t shared_by_more;
    skin_face first_shared;
  } cases[] = {
      {"three tets on one face",
       {{solid_shape::tet4, {a, b, c, {0, 0, 4}}},
        {solid_shape::tet4, {b, a, c, {0, 0, -4}}},
        {solid_shape::none, {}},
        {solid_shape::tet4, {a, b, c, {4, 4, 4}}}},
       {{0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {3, 2}, {3, 3}, {3, 4}},
       1,
       {0, 1}},
      {"a brick of no height",
       {{solid_shape::brick8, {a, b, d, c, a, b, d, c}}},
       {{0, 1}, {0, 6}},
       0,
       {}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    mesh s;
    for (const auto& [shape, corners] : t.elements) {
      s.add(shape, corners);
    }
    for (const auto& [threads, part_bytes] : {std::pair{1, 0}, {2, 0}, {1, 20}, {2, 20}}) {
      const solid_skin skin = find_skin(s.view(), threads, static_cast<std::uint64_t>(part_bytes));
      std::vector<std::pair<std::uint32_t, int>> faces;
      for (const skin_face& f : skin.faces) {
        faces.emplace_back(f.element, f.face);
      }
      EXPECT_EQ(faces, t.skin);
      EXPECT_EQ(skin.shared_by_more, t.shared_by_more);
      EXPECT_EQ(skin.first_shared.element, t.first_shared.element);
      EXPECT_EQ(skin.first_shared.face, t.first_shared.face);
    }
  }
}

// Random solids on few labels, so that faces are shared by two, three or
// more elements, or twice by one, and corners repeat or are not written:
// matching by lowest corner (one thread and two) finds what matching
// through buckets finds.  Labels spread far apart are matched through
// buckets whatever is asked, and must give the same.
TEST(skin_test, lowest_corner_and_buckets_agree_on_random_solids) {
  std::mt19937_64 random(20261209);
  const solid_shape shapes[] = {solid_shape::none, solid_shape::brick8, solid_shape::brick20,
                                solid_shape::tet4, solid_shape::tet10};
  const solid_shape tets[] = {solid_shape::none, solid_shape::tet4, solid_shape::tet10};
  for (int round = 0; round < 300; ++round) {
    // Every tenth mesh of thousands of elements whose labels climb with
    // them, as a mesher's do, so that lists are decided on the way, and in
    // both halves.
    const bool climbing = round % 10 == 8;
    const std::size_t elements = climbing ? 1000 + random() % 3000 : 1 + random() % 40;
    const std::uint64_t labels = 4 + random() % 14;
    const std::int32_t spread = round % 10 == 9 ? 100000 : 1;
    std::vector<std::int32_t> fields(elements * stride);
    std::vector<std::int32_t> written(elements);
    std::vector<solid_shape> kinds(elements);
    for (std::size_t k = 0; k < elements; ++k) {
      // Every third mesh of tets only, whose sets are listed apart.
      kinds[k] = round % 3 == 1 ? tets[random() % 3] : shapes[random() % 5];
      written[k] = random() % 8 == 0 ? static_cast<std::int32_t>(random() % 9) : stride;
      std::int32_t* own = fields.data() + k * stride;
      const auto base = static_cast<std::int32_t>(climbing ? k / 3 : 0);
      for (int f = 0; f < stride; ++f) {
        own[f] = base + static_cast<std::int32_t>(1 + random() % labels) * spread;
      }
      if (k > 0 && random() % 3 == 0) {
        // Another element's corners in another order: shared faces.
        const std::size_t back = std::min<std::size_t>(k, climbing ? 40 : k);
        const std::int32_t* other = fields.data() + (k - 1 - random() % back) * stride;
        for (int f = 0; f < 8; ++f) {
          own[f] = other[(f + 4 * (round % 2)) % 8];
        }
      }
    }
    solid_elements v;
    v.count = static_cast<std::int64_t>(elements);
    v.nodes = fields.data();
    v.nodes_each = stride;
    v.node_count.first = written.data();
    v.shape.first = kinds.data();
    const solid_skin expected = find_skin(v, 1, std::uint64_t{1} << 40);
    for (int threads : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << ", threads " << threads);
      const solid_skin skin = find_skin(v, threads);
      ASSERT_EQ(skin.faces.size(), expected.faces.size());
      for (std::size_t k = 0; k < skin.faces.size(); ++k) {
        EXPECT_EQ(skin.faces[k].element, expected.faces[k].element);
        EXPECT_EQ(skin.faces[k].face, expected.faces[k].face);
      }
      EXPECT_EQ(skin.shared_by_more, expected.shared_by_more);
      EXPECT_EQ(skin.first_shared.element, expected.first_shared.element);
      EXPECT_EQ(skin.first_shared.face, expected.first_shared.face);
    }
  }
}

TEST(skin_test, more_elements_than_face_ids_hold_is_report_179) {
  solid_elements too_many;
  too_many.count = skin_element_limit + 1;
  try {
    find_skin(too_many, 1);
    FAIL() << "no report";
  } catch (const run_failure& f) {
    EXPECT_EQ(f.number, report::array_size_overflow);
  }
}

}  // namespace
}  // namespace cdbbem::testing
