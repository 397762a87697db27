#include "run/reports.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/model_checks.h"
#include "run/channels.h"
#include "textrec/textrec_helpers.h"

namespace cdbbem {
namespace {

using testing::failure_of;

TEST(reports_test, first_lines) {
  struct row {
    report number;
    channel unit;
    const char* path;
    const char* line;
  };
  const row rows[] = {
      {report::file_not_found, channels::archive, "/work/model/ANSYS_Model.cdb",
       "cdbbem: severe (29): file not found, unit 5, file /work/model/ANSYS_Model.cdb"},
      {report::access_denied, channels::model, "/m/input.dat",
       "cdbbem: severe (9): permission to access file denied, unit 6, file /m/input.dat"},
      {report::end_of_file, channels::archive, "/m/a.cdb",
       "cdbbem: severe (24): end-of-file during read, unit 5, file /m/a.cdb"},
      {report::list_syntax, channels::archive, "/m/a.cdb",
       "cdbbem: severe (59): list-directed I/O syntax error, unit 5, file /m/a.cdb"},
      {report::input_conversion, channels::archive, "/m/a.cdb",
       "cdbbem: severe (64): input conversion error, unit 5, file /m/a.cdb"},
      {report::output_conversion, channels::plot, "/m/input.plt",
       "cdbbem: error (63): output conversion error, unit 8, file /m/input.plt"},
      {report::invalid_real, channel::none, "", "cdbbem: severe (547): invalid REAL"},
      {report::array_size_overflow, channel::none, "",
       "cdbbem: severe (179): Cannot allocate array - overflow on array size calculation."},
      {report::no_memory, channel::none, "", "cdbbem: severe (41): insufficient virtual memory"},
  };
  for (const row& r : rows) {
    run_failure failure = failure_of([&r] { fail(r.number, r.unit); });
    EXPECT_EQ(report_first_line(failure, r.path), r.line);
  }
  run_failure check = failure_of(
      [] { fail_check(model_check::element_number_range, channels::archive, "value 7"); });
  EXPECT_EQ(report_first_line(check, "/m/a.cdb"), "cdbbem: severe (101): value 7");
}

TEST(reports_test, exit_status_keeps_low_eight_bits) {
  EXPECT_EQ(exit_status(report::invalid_integer), 33);
  EXPECT_EQ(exit_status(report::invalid_real), 35);
  EXPECT_EQ(exit_status(report::array_size_overflow), 179);
  EXPECT_EQ(exit_status(report::file_not_found), 29);
}

std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// The listing's header, then the active stages innermost first, each in
// left-justified columns of 19, 10, 19, 12 and 19 characters.
TEST(reports_test, stage_listing) {
  std::int64_t line = 42;
  stage_scope outer_stage("translate", "run.cc");
  run_failure failure;
  {
    stage_scope inner_stage("read_nodes", "node_block.cc", &line);
    failure = failure_of([] { fail(report::end_of_file, channels::archive); });
  }
  std::string header = padded("Image", 19) + padded("PC", 10) + padded("Routine", 19) +
                       padded("Line", 12) + padded("Source", 19) + "\n";
  std::string stage = padded("cdbbem", 19) + padded("-", 10);
  std::string listing = stage_listing(failure.stages);
  std::size_t inner = listing.find('\n') + 1;
  std::size_t outer = listing.find('\n', inner) + 1;
  EXPECT_EQ(listing.substr(0, inner), header);
  EXPECT_EQ(listing.substr(inner, 79),
            stage + padded("read_nodes", 19) + padded("42", 12) + padded("node_block.cc", 19));
  EXPECT_EQ(listing.substr(outer, 79),
            stage + padded("translate", 19) + padded("-", 12) + padded("run.cc", 19));
  EXPECT_EQ(stage_listing(active_stages()), header + listing.substr(outer));
}

}  // namespace
}  // namespace cdbbem
