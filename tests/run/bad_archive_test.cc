// Archives that are damaged, cut short, hand-edited or not archives at all:
// each run must end with a translation, the stop message or one failure
// report, and leave the output files as they were (a run that ends before
// writing) or ending after the last record written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

// What the output files hold before each run: no line end of their own, so
// a file that is not cut after a new record cannot pass for one that is.
constexpr std::string_view stale_model = "input.dat of an earlier run, longer than a record";
constexpr std::string_view stale_plot = "input.plt of an earlier run, longer than a record";

const std::string eof =
    "cdbbem: severe (24): end-of-file during read, unit 5, file <DIR>/ANSYS_Model.cdb";
const std::string syntax =
    "cdbbem: severe (59): list-directed I/O syntax error, unit 5, file <DIR>/ANSYS_Model.cdb";
const std::string conversion =
    "cdbbem: severe (64): input conversion error, unit 5, file <DIR>/ANSYS_Model.cdb";
const std::string read_error =
    "cdbbem: severe (39): error during read, unit 5, file <DIR>/ANSYS_Model.cdb";
const std::string invalid_integer = "cdbbem: severe (545): invalid INTEGER";
const std::string invalid_real = "cdbbem: severe (547): invalid REAL";
const std::string stop = " ANSYS cdb file error!";

// Four boundary nodes, one quadrilateral, four field points and one field
// cell, three potentials and one flux.  Line numbers are given on the right.
const std::string base_archive =
    "/PREP7\n"                                                                    // 1
    "*IF,_CDRDOFF,EQ,1,THEN\n"                                                    // 2
    "*ELSE\n"                                                                     // 3
    "NUMOFF,NODE,        8\n"                                                     // 4
    "NUMOFF,ELEM,        2\n"                                                     // 5
    "*ENDIF\n"                                                                    // 6
    "NBLOCK,6,SOLID,         8,         8\n"                                      // 7
    "(3i8,6e16.9)\n"                                                              // 8
    "       1       0       0 0.000000000E+00 0.000000000E+00 0.000000000E+00\n"  // 9
    "       2       0       0 1.000000000E+00 0.000000000E+00 0.000000000E+00\n"  // 10
    "       3       0       0 1.000000000E+00 1.000000000E+00 0.000000000E+00\n"  // 11
    "       4       0       0 0.000000000E+00 1.000000000E+00 0.000000000E+00\n"  // 12
    "       5       0       0 0.000000000E+00 0.000000000E+00 1.000000000E+00\n"  // 13
    "       6       0       0 1.000000000E+00 0.000000000E+00 1.000000000E+00\n"  // 14
    "       7       0       0 1.000000000E+00 1.000000000E+00 1.000000000E+00\n"  // 15
    "       8       0       0 0.000000000E+00 1.000000000E+00 1.000000000E+00\n"  // 16
    "N,R5.3,LOC,      -1,\n"                                                      // 17
    "EBLOCK,19,SOLID,         2,         2\n"                                     // 18
    "(19i8)\n"                                                                    // 19
    "       1       1       1       1       0       0       0       0       4       0"
    "       1       1       2       3       4\n"  // 20
    "       1       1       1       1       0       0       0       0       4       0"
    "       2       5       6       7       8\n"                      // 21
    "      -1\n"                                                      // 22
    "CMBLOCK,FIELDCELLS,ELEM,       1\n"                              // 23
    "(8i10)\n"                                                        // 24
    "         2        -2\n"                                          // 25
    "CMBLOCK,FIELDPOINTS,NODE,       4\n"                             // 26
    "(8i10)\n"                                                        // 27
    "         5        -8\n"                                          // 28
    "D,      1,TEMP, 1.00000000     ,  0.00000000\n"                  // 29
    "D,      2,TEMP, 2.00000000     ,  0.00000000\n"                  // 30
    "D,      3,TEMP, 4.00000000     ,  0.00000000\n"                  // 31
    "SFE,       1,   1,HFLUX,   1,R5.0\n"                             // 32
    "  1.00000000      2.00000000      3.00000000      6.00000000\n"  // 33
    "/GO\n"                                                           // 34
    "FINISH\n";                                                       // 35

// `text` with the first `from` replaced by `to`; `from` must occur.
std::string edit(std::string text, std::string_view from, std::string_view to) {
  std::size_t at = text.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "edit: no \"" << from << "\" in the archive";
    return text;
  }
  return text.replace(at, from.size(), to);
}

std::string edit(std::string_view from, std::string_view to) {
  return edit(base_archive, from, to);
}

// `text` up to and including the line where `marker` ends.
std::string cut_after(const std::string& text, std::string_view marker) {
  std::size_t at = text.find(marker);
  if (at == std::string::npos) {
    ADD_FAILURE() << "cut_after: no \"" << marker << "\" in the archive";
    return text;
  }
  return text.substr(0, text.find('\n', at + marker.size() - 1) + 1);
}

std::string cut_after(std::string_view marker) { return cut_after(base_archive, marker); }

// The same model with the components and conditions ahead of the node and
// element blocks and "FINISH" between them: the survey ends before the
// blocks, which then run to the end of the archive.
std::string blocks_last(const std::string& text = base_archive) {
  std::size_t nblock = text.find("NBLOCK");
  std::size_t cmblock = text.find("CMBLOCK,FIELDCELLS");
  std::size_t go = text.find("/GO");
  return text.substr(0, nblock) + text.substr(cmblock, go - cmblock) + "FINISH\n" +
         text.substr(nblock, cmblock - nblock);
}

// The base archive's first element record with its four corner nodes
// replaced.
std::string with_corners(std::string_view corners) {
  return edit("       1       2       3       4\n", corners);
}

std::string noise() {
  std::string bytes;
  std::uint32_t state = 12345;
  for (int k = 0; k < 20000; ++k) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(state >> 24);
  }
  return bytes;
}

enum class outputs { untouched, written };

struct bad_archive {
  std::string name;
  std::string archive;
  int status;
  std::string first_line;  // of standard error; <DIR> for the run directory
  outputs files;
};

std::vector<bad_archive> bad_archives() {
  const std::string long_blanks(record_reader::buffer_size + 1000, ' ');
  const outputs untouched = outputs::untouched;
  const outputs written = outputs::written;
  return {
      {"the base archive", base_archive, 0, "", written},
      {"empty file", "", 24, eof, untouched},
      {"binary noise", noise(), 24, eof, untouched},
      {"no offset section before FINISH", edit("*ELSE\n", ""), 1, stop, untouched},
      {"no offset section and no FINISH", edit(edit("*ELSE\n", ""), "FINISH\n", ""), 24, eof,
       untouched},
      {"FINISH first", "FINISH\n" + base_archive, 1, stop, untouched},

      // The archive ends inside each pass and block.
      {"ends after *ELSE", cut_after("*ELSE"), 24, eof, untouched},
      {"ends after the node count", cut_after("NUMOFF,NODE"), 24, eof, untouched},
      {"ends in the field-cell search", cut_after("(19i8)"), 24, eof, untouched},
      {"ends after CMBLOCK,FIELDCELLS", cut_after("CMBLOCK,FIELDCELLS"), 24, eof, untouched},
      {"ends inside the field-cell range",
       cut_after(edit("        -2\n", "\n"), "(8i10)\n         2"), 24, eof, untouched},
      {"ends in the field-point search", cut_after("        -2"), 24, eof, untouched},
      {"ends inside the field-point range", cut_after("CMBLOCK,FIELDPOINTS"), 24, eof, untouched},
      {"condition survey meets no FINI", edit("FINISH\n", ""), 24, eof, untouched},
      {"ends before the node layout", cut_after(blocks_last(), "NBLOCK"), 24, eof, untouched},
      {"ends inside the node block", cut_after(blocks_last(), "       3       0"), 24, eof,
       untouched},
      {"ends before the element layout", cut_after(blocks_last(), "N,R5.3"), 24, eof, untouched},
      {"ends inside the element block", cut_after(blocks_last(), "       3       4\n"), 24, eof,
       untouched},
      {"ends inside an element record",
       blocks_last().substr(0, blocks_last().find("       1       1       2")), 24, eof, untouched},
      {"potential pass meets no FI", blocks_last(), 24, eof, untouched},

      // Letters, a second decimal point and a lone sign in every kind of
      // numeric field: I (counts, node numbers), E (coordinates), free-form
      // integers (elements, component ranges) and reals (flux values), and
      // the text fields of the condition records.
      {"count: letter", edit("NODE,        8", "NODE,      1x8"), 64, conversion, untouched},
      {"count: second point", edit("NODE,        8", "NODE,    1.2.3"), 64, conversion, untouched},
      {"count: lone sign reads 0", edit("NODE,        8", "NODE,        -"), 102,
       "cdbbem: severe (102): corner node 1 on archive line 20 is outside 1 to -4", untouched},
      {"node number: letter", edit("       2       0", "      2a       0"), 64, conversion,
       untouched},
      {"node number: second point", edit("       2       0", "     2..       0"), 64, conversion,
       untouched},
      {"node number: lone sign warns", edit("       2       0", "       -       0"), 0, "",
       written},
      {"coordinate: letter", edit(" 1.000000000E+00", " 1.0000000x0E+00"), 64, conversion,
       untouched},
      {"coordinate: second point", edit(" 1.000000000E+00", " 1.00000.000E+00"), 64, conversion,
       untouched},
      {"coordinate: lone sign reads 0", edit(" 1.000000000E+00", "               -"), 0, "",
       written},
      {"element value: letter", with_corners("       1       2       3      4x\n"), 59, syntax,
       untouched},
      {"element value: second point", with_corners("       1       2       3     4.0.\n"), 59,
       syntax, untouched},
      {"element value: lone sign", with_corners("       1       2       3       -\n"), 59, syntax,
       untouched},
      {"component range: letter", edit("        -2\n", "        -x\n"), 59, syntax, untouched},
      {"component range: second point", edit("        -2\n", "      -2..\n"), 59, syntax,
       untouched},
      {"component range: lone sign", edit("        -2\n", "         -\n"), 59, syntax, untouched},
      {"component range: one number, then text", edit("        -2\n", "\n"), 59, syntax, untouched},
      {"potential node: letter", edit("D,      1", "D,     1x"), 33, invalid_integer, untouched},
      {"potential node: second point", edit("D,      1", "D,    1.."), 33, invalid_integer,
       untouched},
      {"potential node: lone sign reads 0", edit("D,      1", "D,      -"), 104,
       "cdbbem: severe (104): potential record node 0 on archive line 29 is outside 1 to 4",
       untouched},
      {"potential value: letter", edit(" 1.00000000 ", " 1.000x0000 "), 35, invalid_real,
       untouched},
      {"potential value: second point", edit(" 1.00000000 ", " 1.000.0000 "), 35, invalid_real,
       untouched},
      {"potential value: lone sign reads 0", edit(" 1.00000000 ", "          - "), 0, "", written},
      {"flux element: letter", edit("SFE,       1", "SFE,      1x"), 33, invalid_integer,
       untouched},
      {"flux element: second point", edit("SFE,       1", "SFE,     1.."), 33, invalid_integer,
       untouched},
      {"flux element: lone sign reads 0", edit("SFE,       1", "SFE,       -"), 105,
       "cdbbem: severe (105): flux record element 0 on archive line 32 is outside 1 to 1",
       untouched},
      {"flux value: letter", edit("  2.00000000 ", "  2.000x0000 "), 59, syntax, untouched},
      {"flux value: second point", edit("  2.00000000 ", "  2.000.0000 "), 59, syntax, untouched},
      {"flux value: lone sign", edit("  2.00000000 ", "  -          "), 59, syntax, untouched},

      // Counts the archive does not back.
      {"counts of zero",
       edit(edit("NODE,        8", "NODE,        0"), "ELEM,        2", "ELEM,        0"), 103,
       "cdbbem: severe (103): field cell corner (counted among the field points) 5 on archive "
       "line 20 is outside 1 to 4",
       untouched},
      {"negative node count", edit("NODE,        8", "NODE,       -8"), 102,
       "cdbbem: severe (102): corner node 1 on archive line 20 is outside 1 to -12", untouched},
      {"negative element count", edit("ELEM,        2", "ELEM,       -2"), 103,
       "cdbbem: severe (103): field cell corner (counted among the field points) -3 on archive "
       "line 20 is outside 1 to 4",
       untouched},
      {"node count beyond the node block", edit("NODE,        8", "NODE,       80"), 64, conversion,
       untouched},
      {"node count beyond the archive",
       cut_after(blocks_last(edit("NODE,        8", "NODE,       80")), "       8       0"), 24,
       eof, untouched},
      {"element count beyond the archive",
       cut_after(blocks_last(edit("ELEM,        2", "ELEM,       20")), "       3       4\n"), 24,
       eof, untouched},

      // Numbers that would index the store outside its extent.
      {"element number 0", edit("0       1       1       2", "0       0       1       2"), 101,
       "cdbbem: severe (101): element number 0 on archive line 20 is outside 1 to 1", untouched},
      {"element number past E", edit("0       1       1       2", "0       2       1       2"), 101,
       "cdbbem: severe (101): element number 2 on archive line 20 is outside 1 to 1", untouched},
      {"corner node 0", with_corners("       1       2       3       0\n"), 102,
       "cdbbem: severe (102): corner node 0 on archive line 20 is outside 1 to 4", untouched},
      {"corner node past N", with_corners("       1       2       3       5\n"), 102,
       "cdbbem: severe (102): corner node 5 on archive line 20 is outside 1 to 4", untouched},
      {"cell corner among the nodes", edit("6       7       8\n", "6       7       4\n"), 103,
       "cdbbem: severe (103): field cell corner (counted among the field points) 0 on archive "
       "line 21 is outside 1 to 4",
       untouched},
      {"cell corner past the field points", edit("6       7       8\n", "6       7       9\n"), 103,
       "cdbbem: severe (103): field cell corner (counted among the field points) 5 on archive "
       "line 21 is outside 1 to 4",
       untouched},
      {"potential node past N", edit("D,      3", "D,      5"), 104,
       "cdbbem: severe (104): potential record node 5 on archive line 31 is outside 1 to 4",
       untouched},
      {"flux element past E", edit("SFE,       1", "SFE,       2"), 105,
       "cdbbem: severe (105): flux record element 2 on archive line 32 is outside 1 to 1",
       untouched},
      {"flux element without element record",
       edit(edit(edit("ELEM,        2", "ELEM,        3"), "       1       2       3       4\n",
                 "       1       2       3       4\n"
                 "       1       1       1       1       0       0       0       0       3       0"
                 "       1       1       2       3       3\n"),
            "SFE,       1", "SFE,       2"),
       105,
       "cdbbem: severe (105): flux record element 2 on archive line 33 is not defined by any "
       "element record",
       untouched},
      {"element of 20 nodes",
       edit("0       0       4       0       1", "0       0      20       0       1"), 106,
       "cdbbem: severe (106): element 1 on archive line 20 has 20 nodes; only elements of at "
       "most 8 nodes can be read",
       untouched},

      // Long lines, NUL bytes and odd line ends.
      {"comment line longer than the buffer",
       edit("/PREP7\n", "/COM," + std::string(3 * record_reader::buffer_size, 'c') + "\n"), 0, "",
       written},
      {"node record with a long tail",
       edit("0.000000000E+00\n       2", "0.000000000E+00" + long_blanks + "x\n       2"), 0, "",
       written},
      {"element values after the cut", with_corners(long_blanks + "1 2 3 4\n"), 39, read_error,
       untouched},
      {"element values before a long tail", with_corners(" 1 2 3 4" + long_blanks + "\n"), 0, "",
       written},
      {"flux values after the cut", edit("  1.00000000      2.0", long_blanks + "1.0 2.0"), 39,
       read_error, untouched},
      {"NUL bytes in a comment line", edit("/PREP7", std::string("/PR\0EP7\0", 8)), 0, "", written},
      {"NUL byte in a coordinate",
       edit(" 1.000000000E+00", std::string(" 1.0000\0"
                                            "0000E+00",
                                            16)),
       64, conversion, untouched},
      {"NUL byte in an element record", with_corners(std::string(" 1 2 3\0 4\n", 10)), 59, syntax,
       untouched},
      {"NUL byte in a potential value",
       edit(" 1.00000000 ", std::string(" 1.000\0"
                                        "0000 ",
                                        12)),
       35, invalid_real, untouched},
      {"CR line ends only",
       [] {
         std::string text = base_archive;
         for (char& c : text) {
           c = c == '\n' ? '\r' : c;
         }
         return text;
       }(),
       24, eof, untouched},
      {"SUB line inside the node block", edit("       5       0", "\x1a\n       5       0"), 24,
       eof, untouched},
  };
}

std::string first_line(const std::string& text, const std::string& dir) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  for (std::size_t at; (at = line.find(dir)) != std::string::npos;) {
    line.replace(at, dir.size(), "<DIR>");
  }
  return line;
}

bool ends_after_record(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

TEST(bad_archive_test, each_ends_as_described) {
  for (const bad_archive& c : bad_archives()) {
    SCOPED_TRACE(c.name);
    temp_dir dir;
    write_file(dir.file("ANSYS_Model.cdb"), c.archive);
    write_file(dir.file("input.dat"), stale_model);
    write_file(dir.file("input.plt"), stale_plot);
    run_result r = run_in_process(dir.path());
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(first_line(r.err, dir.path()), c.first_line);
    const std::string model = read_file(dir.file("input.dat"));
    const std::string plot = read_file(dir.file("input.plt"));
    if (c.files == outputs::untouched) {
      EXPECT_EQ(model, stale_model);
      EXPECT_EQ(plot, stale_plot);
    } else {
      EXPECT_EQ(model.rfind(" A BEM Model for 3-D Potential Analysis,", 0), 0u);
      EXPECT_EQ(plot.rfind(" TITLE = ", 0), 0u);
      EXPECT_TRUE(ends_after_record(model));
      EXPECT_TRUE(ends_after_record(plot));
    }
  }
}

// What one run leaves: status, console, error output and both files.
struct run_trace {
  int status;
  std::string out, err, model, plot;
  bool operator==(const run_trace&) const = default;
};

run_trace trace_run(const std::string& archive, unsigned threads) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), archive);
  write_file(dir.file("input.dat"), stale_model);
  write_file(dir.file("input.plt"), stale_plot);
  run_result r = run_in_process(dir.path(), 0, threads);
  std::string err = r.err;
  for (std::size_t at; (at = err.find(dir.path())) != std::string::npos;) {
    err.replace(at, dir.path().size(), "<DIR>");
  }
  return {r.status, r.out, err, read_file(dir.file("input.dat")), read_file(dir.file("input.plt"))};
}

// Two threads must give what one gives, byte for byte, for every bad
// archive, every golden case and every real archive: a side pass that meets
// bad input must not win over the failure the one-thread order meets first.
TEST(bad_archive_test, one_and_two_threads_agree) {
  std::vector<std::pair<std::string, std::string>> archives;
  for (const bad_archive& c : bad_archives()) {
    archives.emplace_back(c.name, c.archive);
  }
  for (const char* name :
       {"TetBeam.cdb", "HexBeam.cdb", "ErnoRadiation.cdb", "sector.cdb", "mesh200.cdb"}) {
    archives.emplace_back(name, read_file(data_dir() + "/real-archives/" + name));
  }
  for (const char* name : {"closed-cube-crlf", "reference-finish-first", "reference-truncated",
                           "reference-comma-fields", "regression-slash-in-element"}) {
    archives.emplace_back(name, read_file(std::string(CDBBEM_SOURCE_DIR) + "/tests/golden/" + name +
                                          "/ANSYS_Model.cdb"));
  }
  for (const auto& [name, archive] : archives) {
    SCOPED_TRACE(name);
    run_trace one = trace_run(archive, 1);
    run_trace two = trace_run(archive, 2);
    EXPECT_EQ(two.status, one.status);
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, one.err);
    EXPECT_TRUE(two.model == one.model) << "input.dat differs";
    EXPECT_TRUE(two.plot == one.plot) << "input.plt differs";
  }
}

// What a file holds after a run: nothing (absent), the earlier run's text,
// this run's records, or it is not a regular file and is left unchecked.
enum class file_state { absent, stale, written, not_regular };

void expect_state(const std::string& path, file_state state, std::string_view stale) {
  switch (state) {
  case file_state::absent:
    EXPECT_FALSE(file_exists(path)) << path;
    break;
  case file_state::stale:
    EXPECT_EQ(read_file(path), stale) << path;
    break;
  case file_state::written:
    EXPECT_TRUE(ends_after_record(read_file(path))) << path;
    break;
  case file_state::not_regular:
    break;
  }
}

// The archive or an output file is not what the run can use.  Run as the
// real program, in its own process.
TEST(bad_archive_test, file_system_cases) {
  struct row {
    std::string name;
    std::function<void(const temp_dir&)> setup;
    int status;
    std::string first_line;
    file_state model;
    file_state plot;
  };
  auto archive = [](const temp_dir& d) { write_file(d.file("ANSYS_Model.cdb"), base_archive); };
  auto stale_outputs = [](const temp_dir& d) {
    write_file(d.file("input.dat"), stale_model);
    write_file(d.file("input.plt"), stale_plot);
  };
  const std::vector<row> rows = {
      {"missing archive", [](const temp_dir&) {}, 29,
       "cdbbem: severe (29): file not found, unit 5, file <DIR>/ANSYS_Model.cdb",
       file_state::absent, file_state::absent},
      {"missing archive beside earlier outputs", stale_outputs, 29,
       "cdbbem: severe (29): file not found, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::stale,
       file_state::stale},
      {"archive is a directory",
       [](const temp_dir& d) { ::mkdir(d.file("ANSYS_Model.cdb").c_str(), 0755); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"archive is a FIFO",
       [](const temp_dir& d) { ::mkfifo(d.file("ANSYS_Model.cdb").c_str(), 0644); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"archive is a device",
       [](const temp_dir& d) { ::symlink("/dev/zero", d.file("ANSYS_Model.cdb").c_str()); }, 30,
       "cdbbem: severe (30): open failure, unit 5, file <DIR>/ANSYS_Model.cdb", file_state::absent,
       file_state::absent},
      {"model file on a full device",
       [&](const temp_dir& d) {
         archive(d);
         ::symlink("/dev/full", d.file("input.dat").c_str());
       },
       38, "cdbbem: severe (38): error during write, unit 6, file <DIR>/input.dat",
       file_state::not_regular, file_state::written},
      {"plot file on a full device",
       [&](const temp_dir& d) {
         archive(d);
         ::symlink("/dev/full", d.file("input.plt").c_str());
       },
       38, "cdbbem: severe (38): error during write, unit 8, file <DIR>/input.plt",
       file_state::written, file_state::not_regular},
      {"model file is a directory",
       [&](const temp_dir& d) {
         archive(d);
         ::mkdir(d.file("input.dat").c_str(), 0755);
       },
       30, "cdbbem: severe (30): open failure, unit 6, file <DIR>/input.dat",
       file_state::not_regular, file_state::absent},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    temp_dir dir;
    r.setup(dir);
    run_result result = run_executable(dir.path());
    EXPECT_EQ(result.status, r.status) << result.err;
    EXPECT_EQ(first_line(result.err, dir.path()), r.first_line);
    expect_state(dir.file("input.dat"), r.model, stale_model);
    expect_state(dir.file("input.plt"), r.plot, stale_plot);
  }
}

// Runs the executable in `dir` as the unprivileged user "nobody" (65534), for
// a test that needs the file permissions root passes over.
run_result run_as_nobody(const std::string& dir) {
  temp_dir capture;
  const std::string err_path = capture.file("stderr");
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open("/dev/null", O_WRONLY);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
        ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::dup2(out, 1);
    ::dup2(err, 2);
    char* argv[] = {const_cast<char*>(CDBBEM_EXE), nullptr};
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run_result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.err = read_file(err_path);
  return r;
}

TEST(bad_archive_test, unreadable_archive_is_report_9) {
  temp_dir dir;
  write_file(dir.file("ANSYS_Model.cdb"), base_archive);
  ::chmod(dir.file("ANSYS_Model.cdb").c_str(), 0);
  run_result r;
  if (::geteuid() == 0) {
    // The directory must let "nobody" in and write beside the archive.
    ::chmod(dir.path().c_str(), 0777);
    r = run_as_nobody(dir.path());
    if (r.status == 127) {
      GTEST_SKIP() << "the program cannot be run as nobody from where it was built";
    }
  } else {
    r = run_executable(dir.path());
  }
  EXPECT_EQ(r.status, 9) << r.err;
  EXPECT_EQ(first_line(r.err, dir.path()),
            "cdbbem: severe (9): permission to access file denied, unit 5, file "
            "<DIR>/ANSYS_Model.cdb");
  EXPECT_FALSE(file_exists(dir.file("input.dat")));
}

}  // namespace
}  // namespace cdbbem::testing
