#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

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

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

// '@' stands for the run's directory.
std::string at_dir(std::string text, const std::string& dir) {
  for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
    text.replace(at, 1, dir);
  }
  return text;
}

// The PATH argument: a directory or an archive of any name; report paths
// are PATH after the current directory and one "/", nothing resolved.  A
// usage error is one line, status 2, and touches no file.
TEST(cli_test, path_forms_and_usage_errors) {
  temp_dir dir;
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0777), 0);
  write_file(dir.file("sub/ANSYS_Model.cdb"), "*ELSE\n");
  write_file(dir.file("sub/other.cdb"), "*ELSE\n");
  ASSERT_EQ(::symlink("sub", dir.file("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0666), 0);
  struct row {
    std::vector<std::string> args;
    int status;
    std::string err;      // first line of standard error
    std::string outputs;  // where input.dat appears: "." or "sub"; "" nowhere
  };
  const std::string eof = "cdbbem: severe (24): end-of-file during read, unit 5, file @/";
  const std::string none = "cdbbem: severe (29): file not found, unit 5, file @/ANSYS_Model.cdb";
  const row rows[] = {
      {{}, 29, none, ""},
      {{"."}, 29, none, ""},
      {{"sub"}, 24, eof + "sub/ANSYS_Model.cdb", "sub"},
      {{"sub/"}, 24, eof + "sub/ANSYS_Model.cdb", "sub"},
      {{"./sub/../sub"}, 24, eof + "./sub/../sub/ANSYS_Model.cdb", "sub"},
      {{"link"}, 24, eof + "link/ANSYS_Model.cdb", "sub"},
      {{"@/sub"}, 24, eof + "sub/ANSYS_Model.cdb", "sub"},
      {{"sub/other.cdb", "--vtk"}, 24, eof + "sub/other.cdb", "sub"},
      {{"--check", "sub/other.cdb"}, 24, eof + "sub/other.cdb", ""},
      {{"--json"}, 2, "cdbbem: --json is an option of --check (see --help)", ""},
      {{"--vtk", "--json", "sub"}, 2, "cdbbem: --json is an option of --check (see --help)", ""},
      {{"sub", "sub"}, 2, "cdbbem: unexpected argument 'sub': only one PATH may be given", ""},
      {{"missing"}, 2, "cdbbem: no such file or directory: 'missing'", ""},
      {{"fifo"}, 2, "cdbbem: not a directory or a regular file: 'fifo'", ""},
      {{"--Check", "sub"}, 2, "cdbbem: unexpected argument '--Check' (see --help)", ""},
      {{"--check", "--help"}, 2, "cdbbem: '--help' takes no other arguments (see --help)", ""},
      {{"--dof", "TEMP", "sub"}, 2, "cdbbem: --dof is an option of --any (see --help)", ""},
      {{"--flux", "hflux", "sub"}, 2, "cdbbem: --flux is an option of --any (see --help)", ""},
      {{"--any", "sub", "--dof"}, 2, "cdbbem: '--dof' needs a LABEL (see --help)", ""},
      {{"--any", "--dof", "temp", "sub"},
       110,
       "cdbbem: severe (110): no boundary: the archive has no shell, surface or solid elements "
       "outside FIELDCELLS; it has 0 nodes and no elements",
       "sub"},
  };
  for (const row& r : rows) {
    std::vector<std::string> args;
    for (const std::string& a : r.args) {
      args.push_back(at_dir(a, dir.path()));
    }
    SCOPED_TRACE(::testing::PrintToString(r.args));
    run_result result = run_executable(dir.path(), args);
    EXPECT_EQ(result.status, r.status);
    EXPECT_EQ(first_line(result.err), at_dir(r.err, dir.path()));
    if (r.status == 2) {
      EXPECT_EQ(result.err, at_dir(r.err, dir.path()) + "\n");
      EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(file_exists(dir.file("input.dat")), r.outputs == ".");
    EXPECT_EQ(file_exists(dir.file("sub/input.dat")), r.outputs == "sub");
    EXPECT_FALSE(file_exists(dir.file("sub/input.vtu")));
    ::unlink(dir.file("sub/input.dat").c_str());
    ::unlink(dir.file("sub/input.plt").c_str());
  }
}

// With --json a run that does not translate prints one object: its status
// and the first line of standard error, which still gets the report.
TEST(cli_test, json_gives_the_failure_as_an_object) {
  struct row {
    std::string folder;
    std::string archive;
    int status;
    std::string report;
    std::string json;  // the report as a JSON string
  };
  const row rows[] = {
      {"a\"b", "*ELSE\n", 24,
       "cdbbem: severe (24): end-of-file during read, unit 5, file @/a\"b/ANSYS_Model.cdb",
       "\"cdbbem: severe (24): end-of-file during read, unit 5, file @/a\\\"b/ANSYS_Model.cdb\""},
      {"plain", "FINISH\n", 1, " ANSYS cdb file error!\r", "\" ANSYS cdb file error!\""},
  };
  for (const row& r : rows) {
    temp_dir dir;
    ASSERT_EQ(::mkdir(dir.file(r.folder).c_str(), 0777), 0);
    write_file(dir.file(r.folder + "/ANSYS_Model.cdb"), r.archive);
    run_result result = run_executable(dir.path(), {"--json", r.folder, "--check"});
    EXPECT_EQ(result.status, r.status);
    EXPECT_EQ(first_line(result.err), at_dir(r.report, dir.path()));
    // The object goes on with why the archive is not in the legacy layout.
    const std::string head =
        "{\"status\": " + std::to_string(r.status) + ", \"report\": " + at_dir(r.json, dir.path());
    EXPECT_EQ(result.out.rfind(head + ", \"layout\": {", 0), 0u) << result.out;
    EXPECT_FALSE(file_exists(dir.file(r.folder + "/input.dat")));
  }
}

// input.vtu is renamed into place only when whole: a run that cannot write
// it reports unit 10 and leaves the old file; input.dat and input.plt are
// complete by then.  With --check only input.vtu is written.
TEST(cli_test, vtu_is_whole_or_left_as_it_was) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"),
             read_file(std::string(CDBBEM_SOURCE_DIR) +
                       "/tests/golden/triangles-only-crlf/ANSYS_Model.cdb"));
  // Longer than the new file: what is left of it must be cut off.
  const std::string old(300'000, 'x');
  write_file(dir.file("input.vtu"), old);
  ASSERT_EQ(::mkdir(dir.file("input.vtu.tmp").c_str(), 0777), 0);
  run_result result = run_executable(dir.path(), {"--vtk"});
  EXPECT_EQ(result.status, 30);
  EXPECT_EQ(first_line(result.err),
            "cdbbem: severe (30): open failure, unit 10, file " + dir.file("input.vtu.tmp"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(read_file(dir.file("input.vtu")), old);
  const std::string model = read_file(dir.file("input.dat"));
  EXPECT_EQ(model.substr(model.size() - 20), " $ End of the File\r\n");

  ::rmdir(dir.file("input.vtu.tmp").c_str());
  result = run_executable(dir.path(), {"--vtk"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(dir.file("input.vtu")).rfind("<?xml", 0), 0u);
  EXPECT_FALSE(file_exists(dir.file("input.vtu.tmp")));

  temp_dir check;
  write_file(check.file("ANSYS_Model.cdb"), read_file(dir.file("ANSYS_Model.cdb")));
  result = run_executable(check.path(), {"--vtk", "--check"});
  EXPECT_EQ(read_file(check.file("input.vtu")), read_file(dir.file("input.vtu")));
  EXPECT_FALSE(file_exists(check.file("input.dat")));
  EXPECT_FALSE(file_exists(check.file("input.plt")));
  EXPECT_EQ(read_file(check.file("input.vtu")).find("node_label"), std::string::npos);

  // The reading of --any gives the points their archive labels as well.
  temp_dir any_dir;
  write_file(any_dir.file("ANSYS_Model.cdb"),
             read_file(std::string(CDBBEM_SOURCE_DIR) + "/examples/ANSYS_Model.cdb"));
  result = run_executable(any_dir.path(), {"--vtk", "--check", "--any"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string any = read_file(any_dir.file("input.vtu"));
  EXPECT_NE(any.find("<DataArray type=\"Int32\" Name=\"node_label\""), std::string::npos);
}

}  // namespace
}  // namespace cdbbem::testing
