// The model's labels beside its positions: the element lookup, the
// triangle builder's ranges, and the columns the default reading fills.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "archive/archive_builder.h"
#include "model/model.h"
#include "model/store.h"
#include "model/triangulation.h"

namespace cdbbem::testing {
namespace {

model allocated(std::int32_t nodes, std::int32_t elements) {
  model m;
  m.counts.node_count = nodes;
  m.counts.element_count = elements;
  allocate_store(m.counts, m.store, store_budget(0));
  return m;
}

// Labels 1..E by table, any other by the sorted list; a label given twice
// finds the later position, a label given none finds 0.
TEST(model_labels_test, lookup_finds_the_last_position_of_each_label) {
  model m = allocated(0, 6);
  element_lookup& lookup = m.store.element_position;
  const std::int32_t labels[] = {5, 900, -3, 2, 900, 5, 41};  // positions 1..7
  for (std::int32_t k = 0; k < 7; ++k) {
    lookup.add(labels[k], k + 1);
  }
  lookup.seal();
  const std::array<std::int32_t, 2> rows[] = {{5, 6},  {900, 5}, {-3, 3}, {2, 4},
                                              {41, 7}, {1, 0},   {6, 0},  {0, 0},
                                              {42, 0}, {899, 0}, {-4, 0}, {2147483647, 0}};
  for (const auto& [label, position] : rows) {
    EXPECT_EQ(lookup.find(label), position) << label;
  }
}

// Elements giving 1, 2, 6 and no triangles, labelled out of order: each
// element's range, each triangle's element and face, and T.
TEST(model_labels_test, builder_gives_each_element_its_range) {
  model m = allocated(8, 6);
  triangle_builder triangles(m);
  const std::int32_t labels[] = {70, 12, 3, 44};
  const int made[] = {1, 2, 6, 0};
  for (int k = 0; k < 4; ++k) {
    triangles.begin_element(k + 1, labels[k]);
    for (int t = 0; t < made[k]; ++t) {
      triangles.add(1, 2, t + 3, static_cast<std::uint8_t>(k == 2 ? t + 1 : 0));
    }
  }
  triangles.finish();
  const model_store& s = m.store;
  ASSERT_EQ(m.counts.triangle_count, 9);
  using range = std::pair<std::int32_t, std::int32_t>;
  EXPECT_EQ(s.element_triangles(1), (range{1, 2}));
  EXPECT_EQ(s.element_triangles(2), (range{2, 4}));
  EXPECT_EQ(s.element_triangles(3), (range{4, 10}));
  EXPECT_EQ(s.element_triangles(4), (range{10, 10}));
  const std::int32_t element[] = {70, 12, 12, 3, 3, 3, 3, 3, 3};
  const std::uint8_t face[] = {0, 0, 0, 1, 2, 3, 4, 5, 6};
  for (std::int32_t t = 1; t <= 9; ++t) {
    EXPECT_EQ(s.triangle_element[t], element[t - 1]) << t;
    EXPECT_EQ(s.triangle_face[t], face[t - 1]) << t;
  }
  EXPECT_EQ(s.triangle_nodes.column(9)[2], 8);
}

// The default reading labels node positions as their numbers, field cells
// E + c, and the triangles by the element number read; fluxes reach the
// triangles of the element a later record of its number made.
TEST(model_labels_test, default_reading_fills_the_label_columns) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
  plan.field_points = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  plan.elements = {{1, 2, 3, 4, 2}, {2, 5, 3, 3, 1}, {1, 2, 5, 5, 2}};
  plan.cells = {{1, 2, 3, 4}};
  plan.fluxes = {{2, 1, 1, 1, 1}};
  loaded_model m = load_archive(build_archive(plan));
  const model_store& s = m.store;
  ASSERT_EQ(m.counts.triangle_count, 4);
  for (std::int32_t n = 1; n <= 9; ++n) {
    EXPECT_EQ(s.node_label[n], n);
  }
  EXPECT_EQ(s.field_cell_element[1], 4);
  const std::int32_t element[] = {2, 2, 1, 2};
  const std::uint8_t flux_set[] = {0, 0, 0, 1};
  for (std::int32_t t = 1; t <= 4; ++t) {
    EXPECT_EQ(s.triangle_element[t], element[t - 1]) << t;
    EXPECT_EQ(s.triangle_flux_set[t], flux_set[t - 1]) << t;
  }
  EXPECT_EQ(s.element_position.find(2), 3);
  EXPECT_EQ(s.element_position.find(1), 2);
}

}  // namespace
}  // namespace cdbbem::testing
