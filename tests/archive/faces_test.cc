// Faces into triangles: the shell forms, collapsed edges and missing
// midsides, each checked triangle by triangle and for covering its face.

#include "model/faces.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "model/model.h"
#include "model/store.h"
#include "model/triangulation.h"

namespace cdbbem::testing {
namespace {

// Corners 1 (0,0), 2 (4,0), 3 (5,3), 4 (0,2), a convex quadrilateral
// whose diagonal 2-4 is the shorter; 5 to 8 the midsides of its edges, 9
// the midside of 3-1.
model planar_nodes() {
  model m;
  m.counts.node_count = 9;
  m.counts.element_count = 4;
  allocate_store(m.counts, m.store, store_budget(0));
  const double xy[9][2] = {{0, 0},     {4, 0},     {5, 3}, {0, 2},    {2, 0},
                           {4.5, 1.5}, {2.5, 2.5}, {0, 1}, {2.5, 1.5}};
  for (std::int32_t n = 1; n <= 9; ++n) {
    m.store.node_xyz.column(n)[0] = xy[n - 1][0];
    m.store.node_xyz.column(n)[1] = xy[n - 1][1];
  }
  return m;
}

// The nodes of the triangles made, three by three.
std::vector<std::int32_t> triangles_of(const model& m) {
  const std::int32_t* n = m.store.triangle_nodes.column(1);
  return {n, n + 3 * m.counts.triangle_count};
}

// Twice the signed area of the polygon through `nodes`.
double area2(const model_store& s, const std::vector<std::int32_t>& nodes) {
  double sum = 0;
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    const double* p = s.node_xyz.column(nodes[k]);
    const double* q = s.node_xyz.column(nodes[(k + 1) % nodes.size()]);
    sum += p[0] * q[1] - q[0] * p[1];
  }
  return sum;
}

// The triangles tile the outline (its boundary nodes counter-clockwise):
// each turns the outline's way and has area, their areas add up to its
// area, and each directed edge is used once, the edges used one way only
// being the outline's.
void expect_tiling(const model_store& s, const std::vector<std::int32_t>& made,
                   const std::vector<std::int32_t>& outline) {
  double sum = 0;
  std::map<std::pair<std::int32_t, std::int32_t>, int> uses;
  for (std::size_t i = 0; i + 2 < made.size(); i += 3) {
    const std::int32_t* t = &made[i];
    const double a = area2(s, {t[0], t[1], t[2]});
    EXPECT_GT(a, 0) << t[0] << " " << t[1] << " " << t[2];
    sum += a;
    for (int k = 0; k < 3; ++k) {
      ++uses[{t[k], t[(k + 1) % 3]}];
    }
  }
  EXPECT_DOUBLE_EQ(sum, outline.empty() ? 0 : area2(s, outline));
  std::set<std::pair<std::int32_t, std::int32_t>> one_way, boundary;
  for (const auto& [edge, count] : uses) {
    EXPECT_EQ(count, 1) << edge.first << "-" << edge.second;
    if (!uses.contains({edge.second, edge.first})) {
      one_way.insert(edge);
    }
  }
  for (std::size_t k = 0; k < outline.size(); ++k) {
    boundary.insert({outline[k], outline[(k + 1) % outline.size()]});
  }
  EXPECT_EQ(one_way, boundary);
}

struct face_case {
  const char* name;
  int node_count;  // the shell form: 3, 4, 6 or 8 node fields
  std::array<std::int32_t, 8> fields;
  std::vector<std::int32_t> expected;  // three nodes a triangle
  std::vector<std::int32_t> outline;
};

TEST(faces_test, shell_forms_give_their_triangles) {
  const face_case cases[] = {
      {"three nodes", 3, {1, 2, 3}, {1, 2, 3}, {1, 2, 3}},
      {"four nodes, 2-4 shorter", 4, {1, 2, 3, 4}, {1, 2, 4, 2, 3, 4}, {1, 2, 3, 4}},
      {"four nodes, 2-4 as I-K", 4, {2, 3, 4, 1}, {2, 3, 4, 2, 4, 1}, {2, 3, 4, 1}},
      {"K = L", 4, {1, 2, 3, 3}, {1, 2, 3}, {1, 2, 3}},
      {"I = J", 4, {1, 1, 3, 4}, {1, 3, 4}, {1, 3, 4}},
      {"L = I", 4, {1, 2, 3, 1}, {1, 2, 3}, {1, 2, 3}},
      {"six nodes",
       6,
       {1, 2, 3, 5, 6, 9},
       {1, 5, 9, 2, 6, 5, 3, 9, 6, 5, 6, 9},
       {1, 5, 2, 6, 3, 9}},
      {"six nodes as eight",
       8,
       {1, 2, 3, 3, 5, 6, 3, 9},
       {1, 5, 9, 2, 6, 5, 3, 9, 6, 5, 6, 9},
       {1, 5, 2, 6, 3, 9}},
      {"eight nodes",
       8,
       {1, 2, 3, 4, 5, 6, 7, 8},
       {1, 5, 8, 2, 6, 5, 3, 7, 6, 4, 8, 7, 5, 6, 7, 5, 7, 8},
       {1, 5, 2, 6, 3, 7, 4, 8}},
      {"eight nodes, inner J-L shorter",
       8,
       {2, 3, 4, 1, 6, 7, 8, 5},
       {2, 6, 5, 3, 7, 6, 4, 8, 7, 1, 5, 8, 6, 7, 5, 7, 8, 5},
       {2, 6, 3, 7, 4, 8, 1, 5}},
      {"eight nodes, I = J and its midside goes",
       8,
       {1, 1, 3, 4, 6, 9, 7, 8},
       {1, 9, 8, 3, 7, 9, 4, 8, 7, 9, 7, 8},
       {1, 9, 3, 7, 4, 8}},
      {"quad, IJ only", 8, {1, 2, 3, 4, 5, 0, 0, 0}, {5, 2, 3, 5, 3, 4, 5, 4, 1}, {1, 5, 2, 3, 4}},
      {"quad, IJ JK",
       8,
       {1, 2, 3, 4, 5, 6, 0, 0},
       {2, 6, 5, 5, 6, 3, 5, 3, 4, 5, 4, 1},
       {1, 5, 2, 6, 3, 4}},
      {"quad, IJ KL",
       8,
       {1, 2, 3, 4, 5, 0, 7, 0},
       {5, 2, 3, 5, 3, 7, 5, 7, 4, 5, 4, 1},
       {1, 5, 2, 3, 7, 4}},
      {"quad, IJ JK KL",
       8,
       {1, 2, 3, 4, 5, 6, 7, 0},
       {2, 6, 5, 3, 7, 6, 5, 6, 7, 5, 7, 4, 5, 4, 1},
       {1, 5, 2, 6, 3, 7, 4}},
      {"quad, JK KL LI",
       8,
       {1, 2, 3, 4, 0, 6, 7, 8},
       {3, 7, 6, 4, 8, 7, 6, 7, 8, 6, 8, 1, 6, 1, 2},
       {1, 2, 6, 3, 7, 4, 8}},
      {"quad, midside of JK is K",
       8,
       {1, 2, 3, 4, 5, 3, 7, 8},
       {1, 5, 8, 4, 8, 7, 5, 2, 3, 5, 3, 7, 5, 7, 8},
       {1, 5, 2, 3, 7, 4, 8}},
      {"triangle, IJ only", 6, {1, 2, 3, 5, 0, 0}, {5, 2, 3, 5, 3, 1}, {1, 5, 2, 3}},
      {"triangle, IJ JK", 6, {1, 2, 3, 5, 6, 0}, {2, 6, 5, 5, 6, 3, 5, 3, 1}, {1, 5, 2, 6, 3}},
      {"triangle, JK KI", 6, {1, 2, 3, 0, 6, 9}, {3, 9, 6, 6, 9, 1, 6, 1, 2}, {1, 2, 6, 3, 9}},
      {"corners J I J K", 4, {2, 1, 2, 3}, {}, {}},
      {"corners J I J K with midsides", 8, {2, 1, 2, 3, 5, 5, 6, 9}, {}, {}},
      {"two corners left", 8, {1, 1, 2, 2, 0, 5, 0, 5}, {}, {}},
  };
  for (const face_case& c : cases) {
    SCOPED_TRACE(c.name);
    model m = planar_nodes();
    triangle_builder triangles(m);
    triangles.begin_element(1, 70);
    const element_face f = shell_face(c.fields.data(), c.node_count);
    triangulate_face(triangles, f.corners, f.corner_count, f.midsides, 0);
    triangles.finish();
    const std::vector<std::int32_t> made = triangles_of(m);
    EXPECT_EQ(made, c.expected);
    expect_tiling(m.store, made, c.outline);
  }
}

// A face of a volume element: no midside list, its face number on each
// triangle.
TEST(faces_test, face_without_midside_list_keeps_its_number) {
  model m = planar_nodes();
  triangle_builder triangles(m);
  triangles.begin_element(1, 70);
  const std::int32_t corners[] = {1, 2, 3, 4};
  triangulate_face(triangles, corners, 4, nullptr, 5);
  triangles.finish();
  EXPECT_EQ(triangles_of(m), (std::vector<std::int32_t>{1, 2, 4, 2, 3, 4}));
  for (std::int32_t t = 1; t <= m.counts.triangle_count; ++t) {
    EXPECT_EQ(m.store.triangle_face[t], 5);
    EXPECT_EQ(m.store.triangle_element[t], 70);
  }
}

}  // namespace
}  // namespace cdbbem::testing
