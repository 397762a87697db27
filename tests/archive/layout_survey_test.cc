#include "archive/layout_survey.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_builder.h"
#include "run/channels.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

// Integers right-justified in fields of 8 columns.
std::string fields8(std::initializer_list<int> values) {
  std::string record;
  for (int v : values) {
    const std::string text = std::to_string(v);
    record += std::string(text.size() < 8 ? 8 - text.size() : 0, ' ') + text;
  }
  return record;
}

std::string node(int label) { return fields8({label, 0, 0}) + " 1.000000000E+00"; }

// A SOLID-form element record of type 1 with the nodes given.
std::string element(int label, std::initializer_list<int> nodes) {
  std::string record = fields8({1, 1, 1, 1, 0, 0, 0, 0, static_cast<int>(nodes.size()), 0, label});
  return record + fields8(nodes);
}

// In the legacy layout: boundary nodes 1-4, field points 5-8, one boundary
// element and one field cell.  Line numbers on the right.
const std::vector<std::string> legacy = {
    "/PREP7",                                 // 1
    "*ELSE",                                  // 2
    "NUMOFF,NODE,        8",                  // 3
    "NUMOFF,ELEM,        2",                  // 4
    "ET,       1,154",                        // 5
    "NBLOCK,6,SOLID,         8,         8",   // 6
    "(3i8,6e16.9)",                           // 7
    node(1),                                  // 8
    node(2),                                  // 9
    node(3),                                  // 10
    node(4),                                  // 11
    node(5),                                  // 12
    node(6),                                  // 13
    node(7),                                  // 14
    node(8),                                  // 15
    "N,R5.3,LOC,       -1,",                  // 16
    "EBLOCK,19,SOLID,         2,         2",  // 17
    "(19i8)",                                 // 18
    element(1, {1, 2, 3, 4}),                 // 19
    element(2, {5, 6, 7, 8}),                 // 20
    "      -1",                               // 21
    "CMBLOCK,FIELDCELLS,ELEM,       2",       // 22
    "(8i10)",                                 // 23
    "         2        -2",                   // 24
    "CMBLOCK,FIELDPOINTS,NODE,       2",      // 25
    "(8i10)",                                 // 26
    "         5        -8",                   // 27
    "FINISH",                                 // 28
};

// The legacy archive with line n (as numbered there) replaced by the text
// given: several lines, or none when empty.
std::string edited(const std::vector<std::pair<int, std::string>>& edits) {
  std::string text;
  for (std::size_t k = 0; k < legacy.size(); ++k) {
    const std::string* line = &legacy[k];
    bool dropped = false;
    for (const auto& [number, replacement] : edits) {
      if (static_cast<std::size_t>(number) == k + 1) {
        line = &replacement;
        dropped = replacement.empty();
      }
    }
    if (!dropped) {
      text += *line + "\n";
    }
  }
  return text;
}

layout_finding survey(const std::string& text) {
  record_reader archive;
  archive.open_memory(text, channels::archive);
  return survey_layout(archive);
}

TEST(layout_survey_test, the_legacy_archive_reads_and_looks_legacy) {
  const std::string text = edited({});
  const loaded_model m = load_archive(text);
  EXPECT_EQ(m.counts.node_count, 4);
  EXPECT_EQ(m.counts.field_cell_count, 1);
  const layout_finding f = survey(text);
  EXPECT_EQ(f.reason, layout_reason::none);
  EXPECT_EQ(f.text, "");
  EXPECT_EQ(f.line, 0);
}

// Each reason, with the line where it shows; where several show, the first
// in the order of `layout_reason`.
TEST(layout_survey_test, each_reason_and_where_it_shows) {
  using enum layout_reason;
  struct row {
    std::vector<std::pair<int, std::string>> edits;
    layout_reason reason;
    std::string text;
    std::int64_t line;
  };
  const std::string twenty = fields8({1, 1, 1, 1, 0, 0, 0, 0, 20, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8}) +
                             "\n" + fields8({1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4});
  // Blank form: label, type, real, material, coordinate system, 10 nodes,
  // the other 10 of a 20-node brick on the next record.
  const std::string blank20 = fields8({1, 1, 1, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2}) + "\n" +
                              fields8({3, 4, 5, 6, 7, 8, 1, 2, 3, 4});
  const std::string blank20b = fields8({2, 1, 1, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2}) + "\n" +
                               fields8({3, 4, 5, 6, 7, 8, 1, 2, 3, 4});
  const row rows[] = {
      {{{2, "/NOPR"}},
       no_offset_section,
       "no offset section (*ELSE) before FINISH on archive line 28",
       28},
      {{{2, "/NOPR"}, {28, "/GO"}},
       no_offset_section,
       "no offset section (*ELSE) in the archive",
       0},
      {{{4, "NUMOFF,TYPE,        1"}},
       no_offset_section,
       "the offset section on archive line 2 is not followed by its node and element counts "
       "(NUMOFF,NODE and NUMOFF,ELEM)",
       2},
      {{{10, node(4)}}, node_labels, "node label 4 on archive line 10 follows 2", 10},
      {{{8, node(7)}},
       node_labels,
       "node label 7 on archive line 8 opens the node block instead of 1",
       8},
      {{{3, "NUMOFF,NODE,        9"}},
       node_labels,
       "the node block ends on archive line 16 after 8 nodes; the offset section counts 9",
       16},
      {{{20, element(3, {5, 6, 7, 8})}},
       element_labels,
       "element label 3 on archive line 20 is outside 1 to 2, the offset section's count",
       20},
      {{{4, "NUMOFF,ELEM,        3"}},
       element_labels,
       "the element block ends on archive line 21 after 2 elements; the offset section counts 3",
       21},
      {{{21, "      -1\nNBLOCK,6,SOLID,1,1\n(3i8,6e16.9)\n" + node(9) + "\nN,R5.3,LOC,-1,"}},
       second_block,
       "a second node block on archive line 22",
       22},
      {{{21, "      -1\nEBLOCK,19,SOLID,1,1\n(19i8)\n" + element(3, {1, 2, 3, 3}) + "\n      -1"}},
       second_block,
       "a second element block on archive line 22",
       22},
      {{{19, element(1, {1, 2, 3, 4, 5, 6, 7, 8})}},
       element_kind,
       "element 1 on archive line 19 has 8 nodes",
       19},
      {{{5, "ET,1,186"}},
       element_kind,
       "element 1 on archive line 19 is of type 186, a 20-node brick",
       19},
      {{{5, "et,1,200 $ keyo,1,1,11 ! a brick"}},
       element_kind,
       "element 1 on archive line 19 is of type 200 (shape 11), a 20-node brick",
       19},
      {{{5, "ETBLOCK,1,1\n(2i9,19a9)\n        1      187        0\n       -1"}},
       element_kind,
       "element 1 on archive line 22 is of type 187, a 10-node tet",
       22},
      // The second record of an element is not taken for the next element,
      // and a record that holds more fields than the nodes still to come
      // (after one ended by a slash) is the next element.
      {{{19, fields8({1, 1, 1, 1, 0, 0, 0, 0, 4, 0, 1}) + "\n" + fields8({1, 2, 3, 4})}},
       none,
       "",
       0},
      {{{19, fields8({1, 1, 1, 1, 0, 0, 0, 0, 4, 0, 1}) + " /"}}, none, "", 0},
      {{{19, fields8({1, 1, 1, 1, 0, 0, 0, 0, 3, 0, 1}) + "\n" + fields8({1, 2, 3, 3})}},
       none,
       "",
       0},
      // The node and element readers go on past FINISH, the component
      // search does not.
      {{{5, "ET,       1,154\nFINISH"}, {28, ""}}, none, "", 0},
      {{{19, twenty}}, element_kind, "element 1 on archive line 19 has 20 nodes", 19},
      {{{5, "ET,1,186"}, {17, "EBLOCK,19,,2,2"}, {19, blank20}, {20, blank20b}},
       element_kind,
       "element 1 on archive line 19 has 20 nodes",
       19},
      {{{24, "         1        -1"}},
       components,
       "component FIELDCELLS on archive line 22 names elements 1 to 1, not the last ones (up to 2)",
       22},
      {{{24, "         2         5"}},
       components,
       "component FIELDCELLS on archive line 22 is not one range of elements",
       22},
      {{{25, ""}, {26, ""}, {27, ""}},
       components,
       "component FIELDCELLS on archive line 22 has no FIELDPOINTS component after it",
       22},
      {{{27, "         5        -7"}},
       components,
       "component FIELDPOINTS on archive line 25 names nodes 5 to 7, not the last ones (up to 8)",
       25},
      {{{7, "(1i8,3e16.9)"}},
       block_layout,
       "node layout (1i8,3e16.9) on archive line 7 is not one of (3i8,6e16.9), (3i8,6e20.13), "
       "(3i9,6e20.13), (3i9,6e21.13e3)",
       7},
      {{{18, "(15i8)"}},
       block_layout,
       "element layout (15i8) on archive line 18 is not one of (19i8), (19i9), (19i10)",
       18},
      {{{17, "EBLOCK,19,,2,2"},
        {19, fields8({1, 1, 1, 1, 0, 1, 2, 3, 4})},
        {20, fields8({2, 1, 1, 1, 0, 5, 6, 7, 8})}},
       block_layout,
       "the element block on archive line 17 is in the blank form, not the SOLID form",
       17},
      {{{17, "TYPE,1\nEBLOCK,19,COMPACT,2,2"},
        {19, fields8({1, 1, 2, 3, 4})},
        {20, fields8({2, 5, 6, 7, 8})}},
       block_layout,
       "the element block on archive line 18 is in the COMPACT form, not the SOLID form",
       18},
      {{{17, ""}, {18, ""}, {19, ""}, {20, ""}, {21, ""}},
       block_layout,
       "the archive has no element block",
       0},
      // Misnumbered nodes come before an element of 8 nodes.
      {{{10, node(4)}, {19, element(1, {1, 2, 3, 4, 5, 6, 7, 8})}},
       node_labels,
       "node label 4 on archive line 10 follows 2",
       10},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    const layout_finding f = survey(edited(r.edits));
    EXPECT_EQ(f.reason, r.reason);
    EXPECT_EQ(f.text, r.text);
    EXPECT_EQ(f.line, r.line);
  }
}

// Whatever the bytes, the pass ends with a finding whose line is in the
// archive: every cut of the legacy archive, and every byte of it replaced
// by characters that open or end fields, formats and commands.
TEST(layout_survey_test, damaged_archives_end_with_a_finding_in_range) {
  const std::string text =
      edited({{5, "ETBLOCK,1,1\n(2i9,19a9)\n        1      200       11\n -1"}});
  const std::int64_t lines = 31;
  auto sound = [&](const std::string& damaged) {
    const layout_finding f = survey(damaged);
    return f.line >= 0 && f.line <= lines + 1 &&
           f.text.empty() == (f.reason == layout_reason::none);
  };
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    EXPECT_TRUE(sound(text.substr(0, cut))) << cut;
  }
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (char c : std::string("-(,$!\n9 ")) {
      std::string damaged = text;
      damaged[at] = c;
      EXPECT_TRUE(sound(damaged)) << damaged;
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
