#include "writers/plot_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/channels.h"
#include "small_model.h"
#include "support/test_support.h"
#include "textrec/output_channel.h"

namespace cdbbem {
namespace {

using testing::small_model;

std::vector<std::string> write_plot(const small_model& m) {
  return testing::write_to_file(m, write_plot_file, channels::plot);
}

const std::vector<std::string> file_header = {
    " TITLE = \"A BEM Model for a Potential Problem\" ",
    " ZONES\" ",
    " VARIABLES = \"X\", \"Y\", \"Z\"",
};

small_model square_with_two_triangles(std::int32_t p, std::int32_t c) {
  small_model m(4, 1, p, c);
  m.node(1, 1.5, -2.0, 0.0);
  m.node(2, 1.0, 0.0, 0.0);
  m.node(3, 1.0, 1.0, -0.0);
  m.node(4, 0x1p-11, -1.0e150, 12345678.0);
  m.triangle(1, 2, 4, 1, 7.0 / 3.0);
  m.triangle(2, 3, 4);
  return m;
}

TEST(plot_file_test, writes_the_boundary_zone_only_without_field_points) {
  std::vector<std::string> r = write_plot(square_with_two_triangles(0, 0));
  std::vector<std::string> expected = file_header;
  expected.insert(expected.end(), {
                                      " ZONE T=\"Model\", N=           4 , E=           2 ",
                                      " DATAPACKING=POINT, ZONETYPE=FETRIANGLE",
                                      "  0.1500000E+01 -0.2000000E+01  0.0000000E+00",
                                      "  0.1000000E+01  0.0000000E+00  0.0000000E+00",
                                      "  0.1000000E+01  0.1000000E+01  0.0000000E+00",
                                      "  0.4882812E-03 -0.1000000+151  0.1234568E+08",
                                      " ",
                                      "              1              2              4",
                                      "              2              3              4",
                                  });
  EXPECT_EQ(r, expected);
  // 3 + 2 + N + 1 + T records.
  EXPECT_EQ(r.size(), 3u + 2u + 4u + 1u + 2u);
}

TEST(plot_file_test, writes_the_field_point_zone_with_its_cells) {
  small_model m = square_with_two_triangles(5, 2);
  for (std::int32_t p = 1; p <= 5; ++p) {
    m.field_point(p, p * 0.5, -p * 0.25, 3.0);
  }
  m.cell(1, {1, 2, 4, 3});
  m.cell(2, {3, 4, 5, 5});
  std::vector<std::string> r = write_plot(m);
  // 3 + 2 + N + 1 + T, then 2 + P + 1 + C records.
  ASSERT_EQ(r.size(), (3u + 2u + 4u + 1u + 2u) + (2u + 5u + 1u + 2u));
  std::vector<std::string> zone(r.begin() + 12, r.end());
  std::vector<std::string> expected = {
      " ZONE T=\"Field Points\", N=           5 , E=           2 ",
      " DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL",
      "  0.5000000E+00 -0.2500000E+00  0.3000000E+01",
      "  0.1000000E+01 -0.5000000E+00  0.3000000E+01",
      "  0.1500000E+01 -0.7500000E+00  0.3000000E+01",
      "  0.2000000E+01 -0.1000000E+01  0.3000000E+01",
      "  0.2500000E+01 -0.1250000E+01  0.3000000E+01",
      " ",
      "              1              2              4              3",
      "              3              4              5              5",
  };
  EXPECT_EQ(zone, expected);
  EXPECT_EQ(zone[0].size(), 56u);
  EXPECT_EQ(zone[1].size(), 44u);
}

TEST(plot_file_test, writes_a_field_point_zone_without_cells) {
  small_model m = square_with_two_triangles(2, 0);
  m.field_point(1, 0.0, 0.0, 0.0);
  m.field_point(2, 1.0, 0.0, 0.0);
  std::vector<std::string> r = write_plot(m);
  ASSERT_EQ(r.size(), 12u + 2u + 2u + 1u);
  EXPECT_EQ(r[12], " ZONE T=\"Field Points\", N=           2 , E=           0 ");
  EXPECT_EQ(r[13], " DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL");
  EXPECT_EQ(r[15], "  0.1000000E+01  0.0000000E+00  0.0000000E+00");
  EXPECT_EQ(r.back(), " ");
}

TEST(plot_file_test, writes_headers_for_an_empty_model_and_ends_every_record_with_crlf) {
  small_model m(0, 0, 0, 0);
  testing::temp_dir dir;
  std::string path = dir.file("input.plt");
  output_channel out;
  out.open_file(path, channels::plot);
  write_plot_file(m, out);
  out.finish();
  std::string expected;
  for (const std::string& record : file_header) {
    expected += record + "\r\n";
  }
  expected +=
      " ZONE T=\"Model\", N=           0 , E=           0 \r\n"
      " DATAPACKING=POINT, ZONETYPE=FETRIANGLE\r\n"
      " \r\n";
  EXPECT_EQ(testing::read_file(path), expected);
}

}  // namespace
}  // namespace cdbbem
