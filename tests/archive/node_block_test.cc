#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_builder.h"
#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

// An archive of one boundary node, no elements and no components, whose
// node block is `block` (layout records and the node record).
std::string one_node_archive(std::initializer_list<std::string_view> block) {
  std::string text = lines({"*ELSE", "NUMOFF,NODE,        1", "NUMOFF,ELEM,        0",
                            "NBLOCK,6,SOLID,         1,         1"});
  for (std::string_view r : block) {
    text += std::string(r) + "\n";
  }
  return text + lines({"EBLOCK,19,SOLID,         0,         0", "(19i8)", "FINISH"});
}

void expect_node(const loaded_model& m, std::int64_t n, const xyz& want) {
  xyz got = m.node(n);
  EXPECT_EQ(got.x, want.x) << "node " << n;
  EXPECT_EQ(got.y, want.y) << "node " << n;
  EXPECT_EQ(got.z, want.z) << "node " << n;
}

// Negative values touch the field before them, so a column off by one
// shows in the values read.
TEST(node_block_test, reads_every_layout_by_its_columns) {
  for (int layout = 1; layout <= 4; ++layout) {
    archive_plan plan;
    plan.node_layout = layout;
    plan.crlf = layout % 2 == 0;
    plan.nodes = {{0.5, -2.5, 1e-3}, {-1.25, 3.0, -0.0625}, {100.0, -0.1, 7.0}};
    plan.field_points = {{1.0, 2.0, 3.0}, {-4.0, -5.0, -6.0}};
    plan.elements = {{1, 2, 3, 3}};
    plan.cells = {{1, 2, 2, 1}};
    loaded_model m = load_archive(build_archive(plan));
    SCOPED_TRACE("layout " + std::to_string(layout));
    EXPECT_EQ(m.notes.node_layout, layout);
    ASSERT_EQ(m.counts.node_count, 3);
    ASSERT_EQ(m.counts.field_point_count, 2);
    for (std::int64_t n = 1; n <= 3; ++n) {
      expect_node(m, n, plan.nodes[static_cast<std::size_t>(n - 1)]);
    }
    const std::vector<double> points = {1.0, 2.0, 3.0, -4.0, -5.0, -6.0};
    EXPECT_EQ(std::vector<double>(m.store.field_point_xyz.data.get(),
                                  m.store.field_point_xyz.data.get() + 6),
              points);
    EXPECT_EQ(m.console, "");
  }
}

// The layout record is known by its first 13 columns; others are passed over.
TEST(node_block_test, recognises_layout_records) {
  struct row {
    std::vector<std::string_view> layout_records;
    std::string_view node_record;
    int layout;
  };
  const row rows[] = {
      {{"(3i8,6e16.9)"},
       "       1       0       0 1.000000000E+00-2.000000000E+00 3.000000000E+00",
       1},
      {{"(3i8,6e16.9) trailing"},
       "       1       0       0             1.0            -2.0             3.0",
       1},
      {{"(3i8,6e16.9)x", "(3i8,6e20.13)"},
       "       1       0       0 1.0000000000000E+00-2.0000000000000E+00 3.0000000000000E+00",
       2},
      {{"(3i9,6e20.13)"},
       "        1        0        0 1.0000000000000E+00-2.0000000000000E+00 3.0000000000000E+00",
       3},
      {{"(3i9,6e21.13e3)"},
       "        1        0        0 1.0000000000000E+000-2.0000000000000E+000 3.0000000000000E+000",
       4},
  };
  for (const row& r : rows) {
    std::string text = lines({"*ELSE", "NUMOFF,NODE,        1", "NUMOFF,ELEM,        0",
                              "NBLOCK,6,SOLID,         1,         1"});
    for (std::string_view l : r.layout_records) {
      text += std::string(l) + "\n";
    }
    text += std::string(r.node_record) + "\n" + lines({"(19i8)", "FINISH"});
    loaded_model m = load_archive(text);
    EXPECT_EQ(m.notes.node_layout, r.layout) << r.layout_records.back();
    expect_node(m, 1, {1.0, -2.0, 3.0});
  }
}

TEST(node_block_test, misnumbered_node_is_reported_and_kept_by_position) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  plan.elements = {{1, 2, 3, 3}};
  plan.node_numbers = {1, 2, 4};
  loaded_model m = load_archive(build_archive(plan));
  EXPECT_EQ(m.console, "  Node number error ni, i =           4           3\r\n");
  expect_node(m, 3, {1, 1, 0});
  EXPECT_EQ(m.triangle(1), (std::array<std::int32_t, 3>{1, 2, 3}));
}

TEST(node_block_test, misnumbered_field_point_reports_its_own_index) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  plan.field_points = {{5, 5, 5}, {6, 6, 6}};
  plan.elements = {{1, 2, 3, 3}};
  plan.cells = {{1, 2, 2, 1}};
  plan.node_numbers = {1, 2, 3, 4, 9};
  loaded_model m = load_archive(build_archive(plan));
  EXPECT_EQ(m.console, "  Node number error ni, i =           9           2\r\n");
  EXPECT_EQ(m.store.field_point_xyz[4], 6.0);
}

TEST(node_block_test, empty_block_still_needs_its_layout_record) {
  const std::string empty = lines({"*ELSE", "NUMOFF,NODE,        0", "NUMOFF,ELEM,        0",
                                   "(3i9,6e20.13)", "(19i9)", "FINISH"});
  loaded_model m = load_archive(empty);
  EXPECT_EQ(m.counts.node_count, 0);
  EXPECT_EQ(m.notes.node_layout, 3);
  EXPECT_EQ(m.counts.triangle_count, 0);

  const std::string no_layout =
      lines({"*ELSE", "NUMOFF,NODE,        0", "NUMOFF,ELEM,        0", "(19i9)", "FINISH"});
  EXPECT_EQ(load_failure(no_layout).number, report::end_of_file);
}

TEST(node_block_test, failures) {
  struct row {
    std::string text;
    report number;
  };
  const row rows[] = {
      // The record after the layout record is read as a node record.
      {lines({"*ELSE", "NUMOFF,NODE,        1", "NUMOFF,ELEM,        0", "(3i8,6e16.9)", "FINISH"}),
       report::input_conversion},
      // The archive ends before the node record.
      {lines({"*ELSE", "NUMOFF,NODE,        1", "NUMOFF,ELEM,        0", "FINISH", "(3i8,6e16.9)"}),
       report::end_of_file},
      {one_node_archive(
           {"(3i8,6e16.9)", "       1       0       0 1.000000000E+00 2.0000000x0E+00 0.0"}),
       report::input_conversion},
      {one_node_archive({"(3i8,6e16.9)", "     one       0       0 1.0 2.0 3.0"}),
       report::input_conversion},
  };
  for (const row& r : rows) {
    EXPECT_EQ(load_failure(r.text).number, r.number) << r.text;
  }
}

}  // namespace
}  // namespace cdbbem::testing
