#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

// Options answer without touching any file; anything else is a usage error.
TEST(cli_test, options_touch_no_file) {
  struct row {
    std::string arg;
    int status;
    std::string out_start;
    std::string err_start;
  };
  const row rows[] = {
      {"--help", 0, "Usage: cdbbem", ""},
      {"--version", 0, "cdbbem 1.", ""},
      {"-x", 2, "", "cdbbem: unexpected argument '-x'"},
      {"missing.cdb", 2, "", "cdbbem: no such file or directory: 'missing.cdb'"},
  };
  for (const row& r : rows) {
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), "*ELSE\n");
    run_result result = run_executable(dir.path(), {r.arg});
    EXPECT_EQ(result.status, r.status) << r.arg;
    EXPECT_EQ(result.out.rfind(r.out_start, 0), 0u) << r.arg << ": " << result.out;
    EXPECT_EQ(result.err.rfind(r.err_start, 0), 0u) << r.arg << ": " << result.err;
    EXPECT_FALSE(file_exists(dir.file("input.dat"))) << r.arg;
    EXPECT_FALSE(file_exists(dir.file("input.plt"))) << r.arg;
  }
}

TEST(cli_test, two_arguments_are_a_usage_error) {
  temp_dir dir;
  run_result result = run_executable(dir.path(), {"--help", "--version"});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(result.out.empty());
}

}  // namespace
}  // namespace cdbbem::testing
