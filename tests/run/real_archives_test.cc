#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/test_support.h"

namespace cdbbem::testing {
namespace {

// Archives written by pre-processors for other purposes: each either
// translates or ends with a clear report and its status, and a run that
// fails writes nothing into the output files it created.
TEST(real_archives_test, each_ends_as_expected) {
  struct row {
    const char* file;
    int status;
    std::string err;  // first line of standard error; '@' for the archive's path
    int console_lines;
  };
  const std::string eof = "cdbbem: severe (24): end-of-file during read, unit 5, file @";
  const row rows[] = {
      // NUMOFF gives the highest element number (90), the block holds 36
      // elements: the reader runs past the block into a CMBLOCK record.
      {"ErnoRadiation.cdb", 59,
       "cdbbem: severe (59): list-directed I/O syntax error, unit 5, file @", 0},
      {"HexBeam.cdb", 106,
       "cdbbem: severe (106): element 1 on archive line 361 has 20 nodes; only elements of at "
       "most 8 nodes can be read",
       0},
      {"mesh200.cdb", 106,
       "cdbbem: severe (106): element 1 on archive line 5007 has 20 nodes; only elements of at "
       "most 8 nodes can be read",
       0},
      // No offset section and no FINISH record.
      {"all_solid_cells.cdb", 24, eof, 0},
      {"workbench_193.cdb", 24, eof, 0},
      // 655 node records numbered up to 678: seven are reported as
      // misnumbered, then the record after the block is read as a node.
      {"sector.cdb", 64, "cdbbem: severe (64): input conversion error, unit 5, file @", 7},
  };
  for (const row& r : rows) {
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), read_file(data_dir() + "/real-archives/" + r.file));
    run_result result = run_executable(dir.path());
    std::string err = r.err;
    if (std::size_t at = err.find('@'); at != std::string::npos) {
      err.replace(at, 1, dir.file("ANSYS_Model.cdb"));
    }
    EXPECT_EQ(result.status, r.status) << r.file;
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), err) << r.file;
    std::size_t console_lines = 0;
    for (std::size_t at = 0;
         (at = result.out.find(" Node number error ni, i =", at)) != std::string::npos; ++at) {
      ++console_lines;
    }
    EXPECT_EQ(console_lines, static_cast<std::size_t>(r.console_lines)) << r.file;
    EXPECT_EQ(result.out.find("is done!"), std::string::npos) << r.file;
    EXPECT_EQ(read_file(dir.file("input.dat")), "") << r.file;
    EXPECT_EQ(read_file(dir.file("input.plt")), "") << r.file;
  }
}

// Its elements are solid tetrahedra written with four nodes each; the
// archive cannot tell them from quadrilateral surface elements, so each
// becomes two triangles.
TEST(real_archives_test, tetrahedra_translate_as_quadrilaterals) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), read_file(data_dir() + "/real-archives/TetBeam.cdb"));
  run_result result = run_executable(dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, "  Data Translation from ANSYS to BEM is done!\r\n");
  const std::string model = read_file(dir.file("input.dat"));
  EXPECT_NE(model.find("\r\n    7826    1041       0       0  ! No. of"), std::string::npos);
  EXPECT_EQ(model.substr(model.size() - 20), " $ End of the File\r\n");
  EXPECT_NE(read_file(dir.file("input.plt")).find("N=        1041 , E=        7826"),
            std::string::npos);
}

}  // namespace
// With --any each is read whole: the solids' skin is the boundary, closed
// and oriented outward (the check's volume is positive); the archive of
// nodes alone has none.
TEST(real_archives_test, any_reading_takes_the_skin_of_the_solids) {
  struct row {
    const char* file;
    int nodes, triangles, solids;
  };
  const row rows[] = {
      {"ErnoRadiation.cdb", 56, 108, 27}, {"HexBeam.cdb", 266, 528, 40},
      {"TetBeam.cdb", 698, 1392, 3913},   {"all_solid_cells.cdb", 52, 92, 4},
      {"mesh200.cdb", 1802, 3600, 1000},  {"sector.cdb", 209, 414, 105},
  };
  for (const row& r : rows) {
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), read_file(data_dir() + "/real-archives/" + r.file));
    run_result result = run_executable(dir.path(), {"--any", "--check", "--json"});
    EXPECT_EQ(result.status, 0) << r.file << result.err;
    const std::string& out = result.out;
    for (const std::string& key :
         {"\"nodes\": " + std::to_string(r.nodes), "\"triangles\": " + std::to_string(r.triangles),
          "\"elements\": " + std::to_string(r.solids), std::string("\"closed\": true"),
          std::string("\"oriented\": true"), std::string("\"negative_volume_elements\": 0"),
          std::string("\"skin_volume_differs\": 0")}) {
      EXPECT_NE(out.find(key), std::string::npos) << r.file << ": " << key << "\n" << out;
    }
    EXPECT_EQ(out.find("\"volume\": -"), std::string::npos) << r.file;
  }
  // A brick turned inside out (top and bottom swapped) is a defect the
  // volumes show.
  temp_dir inverted;
  std::string archive = read_file(data_dir() + "/real-archives/HexBeam.cdb");
  const std::size_t block = archive.find("EBLOCK");
  const std::size_t first = archive.find('\n', archive.find('\n', block) + 1) + 1;
  // Its bottom and top trade places: corners 1-4 with 5-8 (first record,
  // from field 12) and midsides 9-12 with 13-16 (the next record).
  const std::size_t width = 10;
  const std::size_t second = archive.find('\n', first) + 1;
  for (const std::size_t at : {first + 11 * width, second}) {
    const std::string low = archive.substr(at, 4 * width);
    archive.replace(at, 4 * width, archive.substr(at + 4 * width, 4 * width));
    archive.replace(at + 4 * width, 4 * width, low);
  }
  write_file(inverted.file("ANSYS_Model.cdb"), archive);
  run_result turned = run_executable(inverted.path(), {"--any", "--check", "--json"});
  EXPECT_EQ(turned.status, 3) << turned.err;
  EXPECT_NE(turned.out.find("\"negative_volume_elements\": 1"), std::string::npos) << turned.out;

  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"),
             read_file(data_dir() + "/real-archives/workbench_193.cdb"));
  run_result result = run_executable(dir.path(), {"--any"});
  EXPECT_EQ(result.status, 110);
  EXPECT_EQ(result.err.substr(0, result.err.find('\n')),
            "cdbbem: severe (110): no boundary: the archive has no shell, surface or solid "
            "elements outside FIELDCELLS; it has 3 nodes and no elements");
}

}  // namespace cdbbem::testing
