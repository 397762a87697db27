#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/test_support.h"
#include "writers/check_json.h"

namespace cdbbem::testing {
namespace {

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

// The integer after "key": in a JSON text, or -1.
long long json_figure(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\": ";
  const std::size_t at = json.find(quoted);
  return at == std::string::npos ? -1 : std::stoll(json.substr(at + quoted.size()));
}

// What `--check --any --json` makes of the archive in `dir`, as the text
// line and the JSON object of the explanation must say it.
struct any_outcome {
  std::string line;
  std::string json;
};

any_outcome read_with_any(const std::string& dir) {
  const run_result any = run_executable(dir, {"--check", "--any", "--json"});
  // Its own failures are not explained.
  EXPECT_EQ(any.out.find("\"layout\""), std::string::npos);
  if (any.status != 0 && any.status != 3) {
    std::string report = first_line(any.err);
    if (!report.empty() && report.back() == '\r') {
      report.pop_back();
    }
    return {"--any does not read it either: " + report.substr(report.find_first_not_of(' ')),
            "{\"reads\": false, \"report\": " + json_string(report) + "}"};
  }
  const char* keys[] = {"nodes", "elements", "triangles", "field_points", "field_cells"};
  const char* words[] = {"nodes", "boundary elements", "triangles", "field points", "field cells"};
  any_outcome o{"--any reads it:", "{\"reads\": true"};
  for (int k = 0; k < 5; ++k) {
    const std::string count = std::to_string(json_figure(any.out, keys[k]));
    o.line += std::string(k == 0 ? " " : ", ") + words[k] + " " + count;
    o.json += std::string(", \"") + keys[k] + "\": " + count;
  }
  return {o.line + ".", o.json + "}"};
}

// A check that ends in a report of the legacy reading keeps the report of a
// translation on standard error, and its status, and says on standard
// output why the archive is not in the legacy layout (or that it looks so)
// and what --any makes of it; --json puts the same in "layout".
TEST(layout_explanation_test, a_failed_check_explains_the_layout) {
  struct row {
    std::string archive;  // under the tests' data directory, or the source tree
    int status;
    std::string reason;  // empty: looks legacy
    std::int64_t line;
  };
  const std::string real = data_dir() + "/real-archives/";
  const std::string golden = std::string(CDBBEM_SOURCE_DIR) + "/tests/golden/";
  const row rows[] = {
      {real + "ErnoRadiation.cdb", 59,
       "the element block ends on archive line 162 after 36 elements; the offset section counts 90",
       162},
      {real + "HexBeam.cdb", 106, "element 1 on archive line 361 has 20 nodes", 361},
      {real + "mesh200.cdb", 106, "element 1 on archive line 5007 has 20 nodes", 5007},
      {real + "all_solid_cells.cdb", 24, "no offset section (*ELSE) in the archive", 0},
      {real + "workbench_193.cdb", 24, "no offset section (*ELSE) in the archive", 0},
      {real + "sector.cdb", 64, "node label 672 on archive line 687 follows 648", 687},
      {golden + "reference-finish-first/ANSYS_Model.cdb", 1,
       "no offset section (*ELSE) before FINISH on archive line 2", 2},
      {golden + "reference-comma-fields/ANSYS_Model.cdb", 64, "", 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.archive);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), read_file(r.archive));
    const run_result text = run_executable(dir.path(), {"--check"});
    const run_result json = run_executable(dir.path(), {"--check", "--json"});
    const run_result plain = run_executable(dir.path());
    const any_outcome any = read_with_any(dir.path());

    EXPECT_EQ(plain.status, r.status);
    EXPECT_EQ(plain.out.find("legacy"), std::string::npos);
    EXPECT_EQ(text.status, r.status);
    EXPECT_EQ(text.err, plain.err);
    EXPECT_EQ(json.status, r.status);
    EXPECT_EQ(json.err, plain.err);
    const bool legacy = r.reason.empty();
    EXPECT_EQ(text.out, (legacy ? "The archive looks legacy: the report has another cause."
                                : "The archive is not in the legacy layout: " + r.reason + ".") +
                            "\r\n" + any.line + "\r\n");
    std::string report = first_line(plain.err);
    if (report.back() == '\r') {
      report.pop_back();
    }
    EXPECT_EQ(json.out,
              "{\"status\": " + std::to_string(r.status) + ", \"report\": " + json_string(report) +
                  ", \"layout\": {\"legacy\": " +
                  (legacy ? "true, \"reason\": null" : "false, \"reason\": \"" + r.reason + "\"") +
                  ", \"line\": " + (r.line > 0 ? std::to_string(r.line) : "null") +
                  ", \"any\": " + any.json + "}}\r\n");
  }
}

// Reports that do not come from reading the archive are not explained: a
// missing archive, and a number too wide for input.dat.
TEST(layout_explanation_test, other_reports_are_not_explained) {
  temp_dir empty;
  run_result r = run_executable(empty.path(), {"--check"});
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(r.out, "");
  temp_dir wide;
  write_file(wide.file("ANSYS_Model.cdb"),
             read_file(std::string(CDBBEM_SOURCE_DIR) +
                       "/tests/golden/regression-counts-too-wide/ANSYS_Model.cdb"));
  r = run_executable(wide.path(), {"--check", "--json"});
  EXPECT_EQ(r.status, 63);
  EXPECT_EQ(r.out, "{\"status\": 63, \"report\": " + json_string(first_line(r.err)) + "}\r\n");
}

}  // namespace
}  // namespace cdbbem::testing
