#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_builder.h"
#include "archive/model_checks.h"
#include "run/channels.h"
#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

using triangle = std::array<std::int32_t, 3>;
using pair = std::array<std::int32_t, 2>;

// The 1 x 2 rectangle I(0,0,0), J(1,0,0), K(1,2,0), L(0,2,0), with K moved.
archive_plan rectangle(xyz k) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, k, {0, 2, 0}};
  plan.elements = {{1, 2, 3, 4}};
  return plan;
}

TEST(element_block_test, quadrilateral_is_split_along_its_shorter_diagonal) {
  struct row {
    xyz k;
    triangle first, second;
  };
  const row rows[] = {
      {{1, 2, 0}, {1, 2, 4}, {2, 3, 4}},  // equal diagonals: J-L
      {{1, 1, 0}, {1, 2, 3}, {1, 3, 4}},  // d_IK = sqrt 2 < d_JL = sqrt 5: I-K
      {{2, 3, 0}, {1, 2, 4}, {2, 3, 4}},  // d_JL = sqrt 5 < d_IK = sqrt 13: J-L
  };
  for (const row& r : rows) {
    loaded_model m = load_archive(build_archive(rectangle(r.k)));
    SCOPED_TRACE(r.k.x + r.k.y);
    ASSERT_EQ(m.counts.triangle_count, 2);
    EXPECT_EQ(m.triangle(1), r.first);
    EXPECT_EQ(m.triangle(2), r.second);
    EXPECT_EQ(m.element(1), (pair{1, 2}));
  }
}

// The element number on the record, not its position, picks the row.
TEST(element_block_test, element_number_selects_the_row) {
  archive_plan plan = rectangle({1, 2, 0});
  plan.nodes.push_back({3, 3, 3});
  plan.elements = {{1, 2, 5, 5, 3}, {1, 2, 3, 4, 1}, {2, 3, 5, 5, 2}};
  loaded_model m = load_archive(build_archive(plan));
  ASSERT_EQ(m.counts.triangle_count, 4);
  EXPECT_EQ(m.element(3), (pair{1, 1}));
  EXPECT_EQ(m.element(1), (pair{2, 3}));
  EXPECT_EQ(m.element(2), (pair{4, 4}));
  EXPECT_EQ(m.triangle(1), (triangle{1, 2, 5}));
  EXPECT_EQ(m.triangle(4), (triangle{2, 3, 5}));
}

TEST(element_block_test, field_cells_are_counted_among_the_field_points) {
  archive_plan plan = rectangle({1, 2, 0});
  plan.field_points = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  plan.cells = {{1, 2, 4, 3}, {3, 4, 4, 2}};
  loaded_model m = load_archive(build_archive(plan));
  EXPECT_EQ(m.counts.element_count, 1);
  EXPECT_EQ(m.counts.field_cell_count, 2);
  EXPECT_EQ(m.counts.triangle_count, 2);
  EXPECT_EQ(m.cell(1), (std::array<std::int32_t, 4>{1, 2, 4, 3}));
  EXPECT_EQ(m.cell(2), (std::array<std::int32_t, 4>{3, 4, 4, 2}));
}

// (19i8), (19i9) and (19i10) blocks, records whole or continued on the
// next record, all read the same.
TEST(element_block_test, every_layout_and_continued_records) {
  for (int width : {8, 9, 10}) {
    for (bool split : {false, true}) {
      archive_plan plan = rectangle({1, 1, 0});
      plan.nodes.push_back({5, 5, 5});
      plan.elements = {{1, 2, 3, 4}, {3, 4, 5, 5}};
      plan.field_points = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
      plan.cells = {{1, 2, 4, 3}};
      plan.element_width = width;
      plan.split_elements = split;
      loaded_model m = load_archive(build_archive(plan));
      SCOPED_TRACE("width " + std::to_string(width) + (split ? " split" : ""));
      ASSERT_EQ(m.counts.triangle_count, 3);
      EXPECT_EQ(m.triangle(1), (triangle{1, 2, 3}));
      EXPECT_EQ(m.triangle(2), (triangle{1, 3, 4}));
      EXPECT_EQ(m.triangle(3), (triangle{3, 4, 5}));
      EXPECT_EQ(m.element(2), (pair{3, 3}));
      EXPECT_EQ(m.cell(1), (std::array<std::int32_t, 4>{1, 2, 4, 3}));
    }
  }
}

// A field filled to its first column touches the one before it, and the
// two are read as one value: every later value moves up one place.
TEST(element_block_test, touching_fields_read_as_one_value) {
  std::string text =
      lines({"*ELSE", "NUMOFF,NODE,        3", "NUMOFF,ELEM,        1", "(3i8,6e16.9)",
             "       1       0       0             0.0             0.0             0.0",
             "       2       0       0             1.0             0.0             0.0",
             "       3       0       0             0.0             1.0             0.0", "(19i8)"});
  // Sixteen fields: 1, 10000000 (touching), 1 1 0 0 0 0 0 4 0, then
  // element 1 with corners 1 2 3 3.  Read apart, the 9th value would be 0
  // and the element number 0.
  text +=
      "       110000000       1       1       0       0       0       0       0       4"
      "       0       1       1       2       3       3\n";
  text += lines({"FINISH"});
  loaded_model m = load_archive(text);
  ASSERT_EQ(m.counts.triangle_count, 1);
  EXPECT_EQ(m.triangle(1), (triangle{1, 2, 3}));
}

TEST(element_block_test, empty_block_still_needs_its_layout_record) {
  const std::string head =
      lines({"*ELSE", "NUMOFF,NODE,        0", "NUMOFF,ELEM,        0", "(3i8,6e16.9)"});
  loaded_model m = load_archive(head + lines({"(19i10)", "FINISH"}));
  EXPECT_EQ(m.counts.triangle_count, 0);
  EXPECT_EQ(load_failure(head + lines({"(19i7)", "FINISH"})).number, report::end_of_file);
}

// Numbers that would index the store outside its extent end the run with
// a message naming the value, the range and the archive line.
TEST(element_block_test, model_checks) {
  struct row {
    archive_plan plan;
    int record;  // element record, counted from the block's first
    report number;
    std::string message;
  };
  auto with = [](std::vector<element_spec> elements,
                 std::vector<std::array<std::int32_t, 4>> cells) {
    archive_plan plan = rectangle({1, 2, 0});
    plan.elements = std::move(elements);
    if (!cells.empty()) {
      plan.field_points = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
      plan.cells = std::move(cells);
    }
    return plan;
  };
  const row rows[] = {
      {with({{1, 2, 3, 4}, {1, 2, 3, 3, 3}}, {}), 2, model_check::element_number_range,
       "element number 3 on archive line @ is outside 1 to 2"},
      {with({{1, 2, 3, 4, -1}}, {}), 1, model_check::element_number_range,
       "element number -1 on archive line @ is outside 1 to 1"},
      {with({{1, 2, 3, 5}}, {}), 1, model_check::element_node_range,
       "corner node 5 on archive line @ is outside 1 to 4"},
      {with({{0, 2, 3, 3}}, {}), 1, model_check::element_node_range,
       "corner node 0 on archive line @ is outside 1 to 4"},
      {with({{1, 2, 3, 4}}, {{1, 2, 5, 3}}), 2, model_check::field_cell_corner_range,
       "field cell corner (counted among the field points) 5 on archive line @ is outside 1 to 4"},
      {with({{1, 2, 3, 4}}, {{1, 0, 4, 3}}), 2, model_check::field_cell_corner_range,
       "field cell corner (counted among the field points) 0 on archive line @ is outside 1 to 4"},
      {with({{1, 2, 3, 4}, {1, 2, 3, 4, 2, 20}}, {}), 2, model_check::element_too_many_nodes,
       "element 2 on archive line @ has 20 nodes; only elements of at most 8 nodes can be read"},
      {with({{1, 2, 3, 4, 1, 9}}, {}), 1, model_check::element_too_many_nodes,
       "element 1 on archive line @ has 9 nodes; only elements of at most 8 nodes can be read"},
  };
  for (const row& r : rows) {
    std::string text = build_archive(r.plan);
    std::string message = r.message;
    message.replace(message.find('@'), 1, std::to_string(line_of(text, "(19i8)") + r.record));
    run_failure f = load_failure(text);
    EXPECT_EQ(f.number, r.number) << message;
    EXPECT_EQ(f.unit, channels::archive) << message;
    EXPECT_EQ(f.message, message);
  }
}

TEST(element_block_test, eight_node_elements_are_read) {
  archive_plan plan = rectangle({1, 2, 0});
  plan.elements = {{1, 2, 3, 4, 1, 8}};
  EXPECT_EQ(load_archive(build_archive(plan)).counts.triangle_count, 2);
}

TEST(element_block_test, failures) {
  archive_plan plan = rectangle({1, 2, 0});
  plan.elements = {{1, 2, 3, 4}, {2, 3, 4, 4}};
  const std::string text = build_archive(plan);
  const std::string block = "(19i8)\n";
  const std::size_t records = text.find(block) + block.size();
  const std::string tail = "\nFINISH\n";
  struct row {
    std::string text;
    report number;
  };
  const row rows[] = {
      // The block holds fewer records than its count: the record after
      // it is read as the next element.
      {text.substr(0, text.find('\n', records) + 1) + "CMBLOCK,INTERFACE,NODE,      16\n" +
           "FINISH\n",
       report::list_syntax},
      {text.substr(0, records) + "       1       1       1       1       x" + tail,
       report::list_syntax},
      {text.substr(0, records) + "       1       1       1       1   99999999999" + tail,
       report::input_conversion},
      // The archive ends inside an element record.
      {lines({"*ELSE", "NUMOFF,NODE,        0", "NUMOFF,ELEM,        1", "FINISH", "(3i8,6e16.9)",
              "(19i8)", "       1       1       1"}),
       report::end_of_file},
  };
  for (const row& r : rows) {
    EXPECT_EQ(load_failure(r.text).number, r.number) << r.text.substr(records);
  }
}

}  // namespace
}  // namespace cdbbem::testing
