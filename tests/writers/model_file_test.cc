#include "writers/model_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "run/channels.h"
#include "run/reports.h"
#include "small_model.h"
#include "support/test_support.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"

namespace cdbbem {
namespace {

using testing::small_model;

std::vector<std::string> write_model(const small_model& m) {
  return testing::write_to_file(m, write_model_file, channels::model);
}

const std::string counts_literal = "  ! No. of Boundary Elements, Nodes, Field Points and Cells";
const std::string constants_line =
    "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)";

TEST(model_file_test, writes_every_record_of_a_model_without_field_points) {
  small_model m(4, 1, 0, 0);
  m.node(1, 1.5, -2.0, 0.0);
  m.node(2, 1.0, 0.0, 0.0);
  m.node(3, 1.0, 1.0, 0.0);
  m.node(4, 0.0, 1.0, 0.0);
  m.triangle(1, 2, 4, 1, 7.0 / 3.0);
  m.triangle(2, 3, 4);
  std::vector<std::string> r = write_model(m);
  std::vector<std::string> expected = {
      "",  // title, checked below
      "       2       4       0       0" + counts_literal,
      constants_line,
      " $ Nodes:",
      "       1   0.150000000000000D+01  -0.200000000000000D+01   0.000000000000000D+00",
      "       2   0.100000000000000D+01   0.000000000000000D+00   0.000000000000000D+00",
      "       3   0.100000000000000D+01   0.100000000000000D+01   0.000000000000000D+00",
      "       4   0.000000000000000D+00   0.100000000000000D+01   0.000000000000000D+00",
      " $ Elements and Boundary Conditions:",
      "         1          1       2       4         1        0.233333333333333D+01",
      "         2          2       3       4         2        0.000000000000000D+00",
      " $ Field Points",
      " $ Field Cells",
      " $ End of the File",
  };
  ASSERT_EQ(r.size(), expected.size());
  // The title: a 40-column literal, 16 blanks, the date in columns 57-65.
  EXPECT_TRUE(std::regex_match(
      r[0], std::regex(" A BEM Model for 3-D Potential Analysis, {16}[0-3][0-9]-"
                       "(JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC)-[0-9]{2}")))
      << r[0];
  for (std::size_t k = 1; k < r.size(); ++k) {
    EXPECT_EQ(r[k], expected[k]) << "record " << k + 1;
  }
  EXPECT_EQ(r[1].size(), 91u);
  EXPECT_EQ(r[4].size(), 80u);
  EXPECT_EQ(r[9].size(), 76u);
}

TEST(model_file_test, writes_empty_sections_as_consecutive_markers) {
  small_model m(0, 0, 0, 0);
  std::vector<std::string> r = write_model(m);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[1], "       0       0       0       0" + counts_literal);
  EXPECT_EQ(r[2], constants_line);
  EXPECT_EQ(r[3], " $ Nodes:");
  EXPECT_EQ(r[4], " $ Elements and Boundary Conditions:");
  EXPECT_EQ(r[5], " $ Field Points");
  EXPECT_EQ(r[6], " $ Field Cells");
  EXPECT_EQ(r[7], " $ End of the File");
}

TEST(model_file_test, writes_field_points_and_free_form_field_cells) {
  small_model m(1, 1, 2, 2);
  m.node(1, 0.0, 0.0, 0.0);
  m.triangle(1, 1, 1);
  m.field_point(1, 0.25, -0.001, 12.0);
  m.field_point(2, -123.456, 1.0e-101, 0.0);
  m.cell(1, {10, 11, 12, 13});
  m.cell(2, {1, 2, 2, -1});
  std::vector<std::string> r = write_model(m);
  ASSERT_EQ(r.size(), 14u);
  EXPECT_EQ(r[1], "       1       1       2       2" + counts_literal);
  EXPECT_EQ(r[7], " $ Field Points");
  EXPECT_EQ(r[8],
            "         1         0.250000000D+00        -0.100000000D-02         0.120000000D+02");
  EXPECT_EQ(r[9],
            "         2        -0.123456000D+03         0.100000000-100         0.000000000D+00");
  EXPECT_EQ(r[8].size(), 82u);
  EXPECT_EQ(r[10], " $ Field Cells");
  EXPECT_EQ(r[11], "           1          10          11          12          13");
  EXPECT_EQ(r[12], "           2           1           2           2          -1");
  EXPECT_EQ(r[13], " $ End of the File");
}

TEST(model_file_test, writes_node_numbers_by_position_and_values_correctly_rounded) {
  // Each row: a coordinate and its D24.15 field.
  struct row {
    double value;
    const char* field;
  };
  const row rows[] = {
      {0.1, "   0.100000000000000D+00"},
      {-2.5, "  -0.250000000000000D+01"},
      {-0.0, "   0.000000000000000D+00"},
      {0x1.fffffffffffffp+1023, "   0.179769313486232+309"},
      {0x1p-1022, "   0.222507385850720-307"},
      {1.0e-101, "   0.100000000000000-100"},
      {9.9999999999999999e98, "   0.100000000000000+100"},
      {0.9999999999999999, "   0.100000000000000D+01"},
      {1.0 / 3.0, "   0.333333333333333D+00"},
      {-2.0 / 3.0, "  -0.666666666666667D+00"},
  };
  const std::size_t count = sizeof rows / sizeof rows[0];
  small_model m(static_cast<std::int32_t>(count), 0, 0, 0);
  for (std::size_t k = 0; k < count; ++k) {
    m.node(static_cast<std::int32_t>(k + 1), rows[k].value, 0.0, rows[k].value);
  }
  std::vector<std::string> r = write_model(m);
  for (std::size_t k = 0; k < count; ++k) {
    const std::string& line = r[4 + k];
    char number[9];
    std::snprintf(number, sizeof number, "%8zu", k + 1);
    EXPECT_EQ(line.substr(0, 8), number);
    EXPECT_EQ(line.substr(8, 24), rows[k].field) << "row " << k;
    EXPECT_EQ(line.substr(32, 24), "   0.000000000000000D+00");
    EXPECT_EQ(line.substr(56), rows[k].field) << "row " << k;
  }
}

TEST(model_file_test, node_number_too_wide_is_written_as_asterisks_then_fails) {
  testing::temp_dir dir;
  std::string path = dir.file("input.dat");
  // The file held more than the run writes: it must be cut after the last record.
  testing::write_file(path, std::string(5000, 'x'));
  small_model m(3, 2, 0, 0);
  m.node(1, 0.0, 0.0, 0.0);
  m.node(2, 1.0, 0.0, 0.0);
  m.node(3, 0.0, 1.0, 0.0);
  m.triangle(1, 2, 3);
  m.triangle(123456789, 2, 3, 1, 0.5);
  m.triangle(1, 3, 2);
  output_channel out;
  out.open_file(path, channels::model);
  try {
    write_model_file(m, out);
    FAIL() << "no output conversion error";
  } catch (const run_failure& f) {
    EXPECT_EQ(f.number, report::output_conversion);
    EXPECT_EQ(f.unit, channels::model);
    EXPECT_EQ(report_first_line(f, out.path()),
              "cdbbem: error (63): output conversion error, unit 6, file " + path);
    EXPECT_EQ(exit_status(f.number), 63);
  }
  out.finish();
  std::string text = testing::read_file(path);
  std::vector<std::string> r = testing::crlf_records(text);
  ASSERT_EQ(r.size(), 10u) << text;
  EXPECT_EQ(r[8], "         1          1       2       3         2        0.000000000000000D+00");
  EXPECT_EQ(r[9], "         2   ********       2       3         1        0.500000000000000D+00");
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

// The check's verdict is the writer's, without writing: a count or a
// number too wide for its field raises 63 on the same unit in the same
// stage, and nothing else does.
TEST(model_file_test, fit_check_agrees_with_the_writer) {
  struct row {
    std::int32_t model_counts::*count;  // nullptr: a triangle names a wide node
    std::int32_t value;
    bool fails;
  };
  const row rows[] = {
      {&model_counts::node_count, 100'000'000, true},
      {&model_counts::triangle_count, 100'000'000, true},
      {&model_counts::field_point_count, -10'000'000, true},
      {&model_counts::field_point_count, -9'999'999, false},
      {&model_counts::field_cell_count, 100'000'000, true},
      {&model_counts::field_cell_count, -9'999'999, false},
      {nullptr, 123'456'789, true},
      {nullptr, -9'999'999, false},
      {nullptr, -10'000'000, true},
  };
  for (const row& r : rows) {
    small_model m(3, 1, 0, 0);
    m.triangle(1, 2, 3);
    if (r.count != nullptr) {
      m.counts.*r.count = r.value;
    } else {
      m.store.triangle_nodes.column(1)[1] = r.value;
    }
    auto failure_of = [&](auto&& action) -> std::vector<std::string> {
      try {
        action();
      } catch (const run_failure& f) {
        std::vector<std::string> seen = {std::to_string(static_cast<int>(f.number)),
                                         std::to_string(static_cast<int>(f.unit))};
        for (const stage_frame& s : f.stages) {
          seen.push_back(s.routine);
        }
        return seen;
      }
      return {};
    };
    const auto checked = failure_of([&] { check_model_file_fits(m, channels::model); });
    const auto written = failure_of([&] { write_model(m); });
    EXPECT_EQ(checked, written) << r.value;
    EXPECT_EQ(!checked.empty(), r.fails) << r.value;
  }
}

}  // namespace
}  // namespace cdbbem
