#include "archive/boundary_conditions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_builder.h"
#include "archive/model_checks.h"
#include "run/channels.h"
#include "support/test_support.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

// Twelve nodes; element 1 is the unit square 1-2-3-4 (equal diagonals:
// triangles (1,2,4) and (2,3,4)), element 2 the triangle (2,5,3).
archive_plan square_and_triangle() {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0.5, 0}, {3, 0, 0},
                {4, 0, 0}, {5, 0, 0}, {6, 0, 0}, {7, 0, 0}, {8, 0, 0},   {9, 0, 0}};
  plan.elements = {{1, 2, 3, 4}, {2, 5, 3, 3}};
  return plan;
}

loaded_model load_with_records(std::vector<std::string> records, int layout = 1) {
  archive_plan plan = square_and_triangle();
  plan.node_layout = layout;
  plan.condition_records = std::move(records);
  return load_archive(build_archive(plan));
}

TEST(boundary_conditions_test, potential_record_fields) {
  struct row {
    std::string record;
    std::int32_t node;
    double value;
  };
  const row rows[] = {
      {"D,     12,TEMP, 100.000000     ,  0.00000000    ", 12, 100.0},
      {"D,12     ,TEMP,100", 12, 100.0},
      {"D,      3,TEMP, -39.5000000    ,  0.00000000    ", 3, -39.5},
      {"D,      7,VOLT,  1.5E+01", 7, 15.0},
      {"D,      1,TEMP,", 1, 0.0},
  };
  for (const row& r : rows) {
    loaded_model m = load_with_records({r.record});
    EXPECT_EQ(m.store.node_potential[r.node], r.value) << r.record;
    int prescribed = 0;
    for (std::int64_t n = 1; n <= m.counts.node_count; ++n) {
      prescribed += m.store.node_potential[n] != NO_POTENTIAL ? 1 : 0;
    }
    EXPECT_EQ(prescribed, 1) << r.record;
  }
}

// A node's potential may be written once per degree of freedom: up to two
// more records for the same node are passed over, anything else is read.
TEST(boundary_conditions_test, grouped_potential_records) {
  struct row {
    std::vector<potential_spec> records;
    std::vector<double> want;  // nodes 1 to 6
  };
  const double none = NO_POTENTIAL;
  const row rows[] = {
      {{{5, 1}, {5, 2}, {5, 3}, {6, 4}}, {none, none, none, none, 1, 4}},
      {{{5, 1}, {5, 2}, {5, 3}, {5, 9}}, {none, none, none, none, 9, none}},
      {{{1, 1}, {2, 2}, {3, 3}, {4, 4}}, {1, 2, 3, 4, none, none}},
      {{{1, 1}, {1, 5}, {2, 2}, {2, 6}, {3, 3}}, {1, 2, 3, none, none, none}},
  };
  for (const row& r : rows) {
    archive_plan plan = square_and_triangle();
    plan.potentials = r.records;
    loaded_model m = load_archive(build_archive(plan));
    std::vector<double> got(m.store.node_potential.data.get(),
                            m.store.node_potential.data.get() + 6);
    EXPECT_EQ(got, r.want);
  }
}

TEST(boundary_conditions_test, classification) {
  struct row {
    std::vector<potential_spec> potentials;
    std::array<std::int32_t, 3> prescribed;  // triangles 1 to 3
    std::array<std::int32_t, 3> kind;
    std::array<double, 3> value;
  };
  const row rows[] = {
      {{}, {0, 0, 0}, {2, 2, 2}, {0, 0, 0}},
      // Triangle (1,2,4): ((1 + 2) + 4) / 3.
      {{{1, 1.0}, {2, 2.0}, {4, 4.0}}, {3, 2, 1}, {1, 2, 2}, {0x1.2aaaaaaaaaaabp+1, 0, 0}},
      // The sum runs in the triangle's node order: ((1e16 + -1e16) + 0.5) / 3.
      {{{1, 1e16}, {2, -1e16}, {4, 0.5}}, {3, 2, 1}, {1, 2, 2}, {0x1.5555555555555p-3, 0, 0}},
      {{{2, 1.0}, {3, 1.0}, {5, 6.0}}, {1, 2, 3}, {2, 2, 1}, {0, 0, 8.0 / 3.0}},
  };
  for (const row& r : rows) {
    archive_plan plan = square_and_triangle();
    plan.potentials = r.potentials;
    loaded_model m = load_archive(build_archive(plan));
    ASSERT_EQ(m.counts.triangle_count, 3);
    for (std::int64_t t = 1; t <= 3; ++t) {
      const auto k = static_cast<std::size_t>(t - 1);
      EXPECT_EQ(m.store.triangle_prescribed_count[t], r.prescribed[k]) << "triangle " << t;
      EXPECT_EQ(m.store.triangle_bc_kind[t], r.kind[k]) << "triangle " << t;
      EXPECT_EQ(m.store.triangle_bc_value[t], r.value[k]) << "triangle " << t;
    }
  }
}

// Layouts 1 and 2 write the element number in columns 5-12, layouts 3 and
// 4 in columns 5-13, read from columns 6-13.
TEST(boundary_conditions_test, flux_header_columns_follow_the_node_layout) {
  struct row {
    int layout;
    std::string header;
    report failure;  // report::end_of_file stands for none
  };
  const row rows[] = {
      {1, "SFE,       2,   1,HFLUX,   1,R5.0", report::end_of_file},
      {2, "SFE,       2,   1,HFLUX,   1,R5.0", report::end_of_file},
      {3, "SFE,        2,   1,HFLUX,   1,R5.0", report::end_of_file},
      {4, "SFE,        2,   1,HFLUX,   1,R5.0", report::end_of_file},
      {4, "SFE,12345672", model_check::flux_element_range},
      {1, "SFE,        2,   1,HFLUX,   1,R5.0", model_check::flux_element_range},
      {3, "SFE,       2,   1,HFLUX,   1,R5.0", report::invalid_integer},
  };
  for (const row& r : rows) {
    std::vector<std::string> records = {r.header, "  1.0  2.0  3.0  6.0"};
    SCOPED_TRACE(std::to_string(r.layout) + " " + r.header);
    if (r.failure != report::end_of_file) {
      archive_plan plan = square_and_triangle();
      plan.node_layout = r.layout;
      plan.condition_records = records;
      EXPECT_EQ(load_failure(build_archive(plan)).number, r.failure);
      continue;
    }
    loaded_model m = load_with_records(records, r.layout);
    EXPECT_EQ(m.store.triangle_bc_kind[3], flux_prescribed);
    EXPECT_EQ(m.store.triangle_bc_value[3], 3.0);
    EXPECT_EQ(m.store.triangle_bc_value[1], 0.0);
  }
}

TEST(boundary_conditions_test, flux_overrides_potential_and_later_flux_wins) {
  archive_plan plan = square_and_triangle();
  plan.potentials = {{1, 1.0}, {2, 1.0}, {3, 1.0}, {4, 1.0}, {5, 1.0}};
  plan.fluxes = {{2, 1, 1, 1, 1}, {1, 1, 2, 3, 6}, {2, 0.5, 0.5, 0.5, -0.5}};
  loaded_model m = load_archive(build_archive(plan));
  for (std::int64_t t = 1; t <= 3; ++t) {
    EXPECT_EQ(m.store.triangle_prescribed_count[t], 3) << t;
    EXPECT_EQ(m.store.triangle_bc_kind[t], flux_prescribed) << t;
  }
  EXPECT_EQ(m.store.triangle_bc_value[1], 3.0);
  EXPECT_EQ(m.store.triangle_bc_value[2], 3.0);
  EXPECT_EQ(m.store.triangle_bc_value[3], 0.25);
}

TEST(boundary_conditions_test, flux_values_continue_on_the_next_record) {
  loaded_model m =
      load_with_records({"SFE,       1,   1,HFLUX,   1,R5.0", " 1.5  11.8143000", " -9.4  6.0"});
  EXPECT_EQ(m.store.triangle_bc_value[1], (((1.5 + 11.8143) + -9.4) + 6.0) * 0.25);
  EXPECT_EQ(m.store.triangle_bc_value[2], m.store.triangle_bc_value[1]);
}

TEST(boundary_conditions_test, failures) {
  struct row {
    std::vector<std::string> records;
    report number;
  };
  const row rows[] = {
      {{"D,    abc,TEMP,1.0"}, report::invalid_integer},
      {{"D,      5,TEMP,1.0.0"}, report::invalid_real},
      // The record after a potential record is examined when it does not
      // name the same node, and its node field must convert.
      {{"D,      5,TEMP,1.0", "D,     5x,TEMP,2.0"}, report::invalid_integer},
      {{"SFE,     abc,   1,HFLUX"}, report::invalid_integer},
      {{"SFE,       1,   1,HFLUX", "1.0 abc 3.0 4.0"}, report::list_syntax},
      {{"SFE,       1,   1,HFLUX", "1.0 T 3.0 4.0"}, report::input_conversion},
  };
  for (const row& r : rows) {
    EXPECT_EQ(load_failure(build_archive([&] {
                archive_plan plan = square_and_triangle();
                plan.condition_records = r.records;
                return plan;
              }()))
                  .number,
              r.number)
        << r.records.back();
  }
}

// Node and element numbers that would index the store outside its extent.
TEST(boundary_conditions_test, model_checks) {
  struct row {
    std::vector<std::string> records;
    report number;
    std::string message;  // '@' stands for the line of the last record
  };
  const row rows[] = {
      {{"D,     13,TEMP,1.0"},
       model_check::potential_node_range,
       "potential record node 13 on archive line @ is outside 1 to 12"},
      {{"D,       ,TEMP,1.0"},
       model_check::potential_node_range,
       "potential record node 0 on archive line @ is outside 1 to 12"},
      {{"D,     -1,TEMP,1.0"},
       model_check::potential_node_range,
       "potential record node -1 on archive line @ is outside 1 to 12"},
      {{"SFE,       3,   1,HFLUX"},
       model_check::flux_element_range,
       "flux record element 3 on archive line @ is outside 1 to 2"},
      {{"SFE,       0,   1,HFLUX"},
       model_check::flux_element_range,
       "flux record element 0 on archive line @ is outside 1 to 2"},
  };
  for (const row& r : rows) {
    archive_plan plan = square_and_triangle();
    plan.condition_records = r.records;
    std::string text = build_archive(plan);
    std::string message = r.message;
    message.replace(message.find('@'), 1, std::to_string(line_of(text, r.records.back())));
    run_failure f = load_failure(text);
    EXPECT_EQ(f.number, r.number);
    EXPECT_EQ(f.message, message);
  }

  // Two records both numbered 1: no element record defines element 2.
  archive_plan plan = square_and_triangle();
  plan.elements = {{1, 2, 3, 4, 1}, {2, 5, 3, 3, 1}};
  plan.condition_records = {"SFE,       2,   1,HFLUX", "1 1 1 1"};
  std::string text = build_archive(plan);
  run_failure f = load_failure(text);
  EXPECT_EQ(f.number, model_check::flux_element_range);
  EXPECT_EQ(f.message, "flux record element 2 on archive line " +
                           std::to_string(line_of(text, "SFE,")) +
                           " is not defined by any element record");
}

// The archive ends before the record that closes each step.
TEST(boundary_conditions_test, end_of_file) {
  loaded_model m = load_archive(build_archive(square_and_triangle()));
  const std::string_view texts[] = {"D,      1,TEMP,1.0\nD,      2,TEMP,2.0\n",
                                    "D,      1,TEMP,1.0\n/GO\n"};
  for (std::string_view text : texts) {
    record_reader archive;
    archive.open_memory(text, channels::archive);
    try {
      read_potential_conditions(archive, m);
      ADD_FAILURE() << "no failure: " << text;
    } catch (const run_failure& f) {
      EXPECT_EQ(f.number, report::end_of_file) << text;
    }
  }
  const std::string_view flux_texts[] = {"SFE,       1,   1,HFLUX\n1.0 2.0 3.0\n",
                                         "SFE,       1,   1,HFLUX\n1 1 1 1\nFIN\n"};
  for (std::string_view text : flux_texts) {
    record_reader archive;
    archive.open_memory(text, channels::archive);
    try {
      read_flux_conditions(archive, m, m.notes.node_layout);
      ADD_FAILURE() << "no failure: " << text;
    } catch (const run_failure& f) {
      EXPECT_EQ(f.number, report::end_of_file) << text;
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
