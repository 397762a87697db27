#include "mesh/analysis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/archive_builder.h"

namespace cdbbem::testing {
namespace {

mesh_report analyse(const archive_plan& plan) {
  return analyse_mesh(load_archive(build_archive(plan)));
}

// A unit square lying in z = 0, its corner 3 lifted by `lift`.
archive_plan square(double lift) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, lift}, {0, 1, 0}};
  plan.elements = {{1, 2, 3, 4}};
  return plan;
}

// Split along 2-4, the lifted triangle's normal is (-h, -h, 1): it leans
// more than 30 degrees from the flat one's once h^2 > 1/6 (h > 0.408).
TEST(analysis_test, warped_quadrilateral) {
  struct row {
    double lift;
    std::int64_t warped;
  };
  const row rows[] = {{0.0, 0}, {0.4, 0}, {0.42, 1}, {5.0, 1}, {-5.0, 1}};
  for (const row& r : rows) {
    const mesh_report report = analyse(square(r.lift));
    EXPECT_EQ(report.figures.warped_elements, r.warped) << r.lift;
    EXPECT_EQ(report.triangle_defects[0] & defect_flag::warped, r.warped ? defect_flag::warped : 0);
    EXPECT_EQ(report.figures.open_edges, 4) << r.lift;
  }
}

// An element that names a node twice: one of its triangles has two equal
// node numbers, is degenerate, and takes no part in edges, surfaces or
// the warped count; its other triangle stands alone.
TEST(analysis_test, repeated_corner) {
  struct row {
    std::array<std::int32_t, 4> corners;
    std::array<std::int32_t, 3> degenerate;  // the example's nodes
  };
  const row rows[] = {
      {{1, 1, 3, 4}, {1, 1, 4}},
      {{1, 2, 2, 4}, {1, 2, 2}},
      {{1, 2, 3, 1}, {1, 2, 1}},
  };
  for (const row& r : rows) {
    archive_plan plan = square(5.0);
    plan.elements = {{r.corners[0], r.corners[1], r.corners[2], r.corners[3]}};
    const mesh_report report = analyse(plan);
    const mesh_figures& f = report.figures;
    SCOPED_TRACE(::testing::PrintToString(r.corners));
    EXPECT_EQ(f.triangles, 2);
    EXPECT_EQ(f.degenerate_triangles, 1);
    EXPECT_EQ(f.open_edges, 3);
    EXPECT_EQ(f.surfaces, 1);
    EXPECT_EQ(f.warped_elements, 0);
    EXPECT_EQ(f.unused_nodes, 1);
    ASSERT_EQ(report.examples.degenerate_triangles.size(), 1u);
    const defect_example& e = *report.examples.degenerate_triangles.begin();
    EXPECT_EQ(e.elements[0], 1);
    EXPECT_EQ(e.nodes, r.degenerate);
  }
}

// Two triangles on the same three nodes in another order and direction:
// the later one is the duplicate, and each edge has two triangles running
// the same way unless the order is reversed.
TEST(analysis_test, duplicates_and_orientation) {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  struct row {
    std::array<std::int32_t, 3> second;
    std::int64_t misoriented;
  };
  const row rows[] = {{{2, 3, 1}, 3}, {{3, 2, 1}, 0}};
  for (const row& r : rows) {
    plan.elements = {{1, 2, 3, 3}, {r.second[0], r.second[1], r.second[2], r.second[2]}};
    const mesh_report report = analyse(plan);
    EXPECT_EQ(report.figures.duplicate_triangles, 1);
    EXPECT_EQ(report.triangle_defects[1] & defect_flag::duplicate, defect_flag::duplicate);
    EXPECT_EQ(report.triangle_defects[0] & defect_flag::duplicate, 0);
    EXPECT_EQ(report.figures.misoriented_edges, r.misoriented);
    EXPECT_EQ(report.figures.open_edges, 0);
    EXPECT_EQ(report.figures.unused_nodes, 1);
    const defect_example& e = *report.examples.duplicate_triangles.begin();
    EXPECT_EQ(e.elements, (std::array<std::int32_t, 2>{2, 1}));
  }
}

// Examples keep the five lowest, by first element with "none" (0) last,
// then second element, then nodes.
TEST(analysis_test, examples_keep_the_lowest) {
  example_list list;
  const std::vector<defect_example> offered = {
      {{9, 0}, {1, 2, 0}}, {{0, 0}, {1, 2, 0}}, {{3, 7}, {5, 6, 0}}, {{3, 4}, {9, 9, 0}},
      {{3, 4}, {2, 9, 0}}, {{8, 0}, {1, 2, 0}}, {{1, 0}, {4, 5, 0}},
  };
  for (const defect_example& e : offered) {
    list.offer(e);
  }
  std::vector<std::int32_t> order;
  for (const defect_example& e : list) {
    order.push_back(e.elements[0] * 100 + e.elements[1] * 10 + e.nodes[0]);
  }
  EXPECT_EQ(order, (std::vector<std::int32_t>{100 + 4, 300 + 40 + 2, 300 + 40 + 9, 300 + 70 + 5,
                                              800 + 1}));
}

}  // namespace
}  // namespace cdbbem::testing
