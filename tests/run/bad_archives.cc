// Archives that are damaged, cut short, hand-edited or not archives at all,
// and how each run must end.  Shared by the in-process test and the table
// exported for other builds of the program.

#include "bad_archives.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

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

}  // namespace

// Line numbers are given on the right.
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

namespace {

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

}  // namespace

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

}  // namespace cdbbem::testing
