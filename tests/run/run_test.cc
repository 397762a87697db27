#include "run/run.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/archive_builder.h"
#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

const std::string done = "  Data Translation from ANSYS to BEM is done!\r\n";

archive_plan square() {
  archive_plan plan;
  plan.nodes = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0.5, 0}};
  plan.elements = {{1, 2, 3, 4}, {2, 5, 3, 3}};
  return plan;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(run_test, translates_and_reports_completion) {
  temp_dir dir;
  archive_plan plan = square();
  plan.potentials = {{1, 1.0}, {2, 2.0}, {4, 4.0}};
  write_file(dir.file("ANSYS_Model.cdb"), build_archive(plan));
  run_result r = run_in_process(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, done);
  EXPECT_EQ(r.err, "");
  const std::string model = read_file(dir.file("input.dat"));
  EXPECT_NE(model.find("\r\n       3       5       0       0  ! No. of"), std::string::npos);
  EXPECT_NE(model.find("\r\n         1          1       2       4         1        "
                       "0.233333333333333D+01\r\n"),
            std::string::npos)
      << model;
  EXPECT_NE(read_file(dir.file("input.plt")).find("E=           3"), std::string::npos);
}

// The flux pass reads the archive again from its first record: a flux
// record ahead of the offset section is applied, and a failure in it
// names a line the reading passes had left behind.
TEST(run_test, flux_pass_starts_again_from_the_first_record) {
  temp_dir dir;
  std::string text = build_archive(square());
  const std::string flux = "SFE,       2,   1,HFLUX,   1,R5.0\n  1.0  2.0  3.0  6.0\n";
  write_file(dir.file("ANSYS_Model.cdb"), "/COM\n" + flux + text);
  run_result r = run_in_process(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(read_file(dir.file("input.dat"))
                .find("         3          2       5       3         2        "
                      "0.300000000000000D+01\r\n"),
            std::string::npos);

  write_file(dir.file("ANSYS_Model.cdb"),
             "/COM\n" + flux.substr(0, flux.find('\n') + 1) + "  1.0  x  3.0  6.0\n" + text);
  r = run_in_process(dir.path());
  EXPECT_EQ(r.status, 59);
  // The listing row of the flux stage gives the archive line it was on.
  const std::string routine = "read_flux_conditions";
  std::size_t at = r.err.find(routine);
  ASSERT_NE(at, std::string::npos) << r.err;
  std::string row = r.err.substr(at + routine.size(), r.err.find('\n', at) - at - routine.size());
  EXPECT_EQ(row.substr(row.find_first_not_of(' '), 2), "3 ") << r.err;
}

TEST(run_test, missing_archive_creates_no_output_file) {
  temp_dir dir;
  run_result r = run_in_process(dir.path());
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(first_line(r.err),
            "cdbbem: severe (29): file not found, unit 5, file " + dir.file("ANSYS_Model.cdb"));
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(file_exists(dir.file("input.dat")));
  EXPECT_FALSE(file_exists(dir.file("input.plt")));
}

// A run that ends before writing leaves existing output files as they were.
TEST(run_test, failed_run_leaves_output_files_untouched) {
  struct row {
    std::string archive;
    int status;
    std::string err_start;
  };
  archive_plan bad_node = square();
  bad_node.potentials = {{6, 1.0}};
  const row rows[] = {
      {build_archive(bad_node), 104,
       "cdbbem: severe (104): potential record node 6 on archive line"},
      {lines({"/PREP7", "FINISH"}), 1, " ANSYS cdb file error!\r\n"},
      {lines({"*ELSE", "NUMOFF,NODE,        1"}), 24,
       "cdbbem: severe (24): end-of-file during read, unit 5"},
  };
  for (const row& r : rows) {
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), r.archive);
    write_file(dir.file("input.dat"), "old model file\r\n");
    write_file(dir.file("input.plt"), "old plot file\r\n");
    run_result result = run_in_process(dir.path());
    EXPECT_EQ(result.status, r.status) << result.err;
    EXPECT_EQ(result.err.rfind(r.err_start, 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(read_file(dir.file("input.dat")), "old model file\r\n");
    EXPECT_EQ(read_file(dir.file("input.plt")), "old plot file\r\n");
  }
}

// A successful run cuts longer existing files after its last record.
TEST(run_test, output_files_are_cut_after_the_last_record) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), build_archive(square()));
  const std::string junk(100000, '#');
  write_file(dir.file("input.dat"), junk);
  write_file(dir.file("input.plt"), junk);
  ASSERT_EQ(run_in_process(dir.path()).status, 0);
  for (const char* name : {"input.dat", "input.plt"}) {
    std::string text = read_file(dir.file(name));
    EXPECT_EQ(text.find('#'), std::string::npos) << name;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
  }
}

}  // namespace
}  // namespace cdbbem::testing
