// The reading of archives as pre-processors write them: blocks in every
// form, numbering with gaps, quadratic shells, notes, and the reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "archive/load.h"
#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

struct outcome {
  int status = 0;  // 0, or the report's number
  std::string message;
  model m;
  load_notes notes;
};

outcome read_any(const std::string& text, const std::string& flux = "", const std::string& dof = "",
                 unsigned threads = 1) {
  outcome o;
  record_reader archive;
  archive.open_memory(text, channel{5});
  output_channel console;
  load_options options;
  options.any = true;
  options.flux = flux;
  options.dof = dof;
  options.threads = threads;
  try {
    o.m = load(archive, console, options, &o.notes);
  } catch (const run_failure& f) {
    o.status = static_cast<int>(f.number);
    o.message = f.message;
  }
  return o;
}

// Two node blocks of different widths (touching fields, a short record,
// labels with gaps and out of order), an N command, a SOLID block of two
// quads, a blank-form block of an 8-node shell with one midside absent.
const char* const two_blocks =
    "/PREP7\n"
    "ET,1,181\n"
    "et,2,SHELL281\n"
    "NBLOCK,6,SOLID\n"
    "(3i9,6e21.13e3)\n"
    "       20        0        0 1.0000000000000E+00 0.0000000000000E+00 0.0000000000000E+00\n"
    "       10        0        0\n"
    "N,R5.3,LOC,       -1,\n"
    "NBLOCK,6,SOLID\n"
    "(1i7,2i9,6e20.13)\n"
    "     30        0        0-1.0000000000000E+00 1.000000000000E+00\n"
    "     40        0        0 0.000000000000E+00 1.000000000000E+00 0.000000000000E+00\n"
    "n,50,2.0,0.0,0.0\n"
    "N,60,2.0,1.0,0.0\n"
    "EBLOCK,19,SOLID\n"
    "(19i9)\n"
    "        1        1        1        1        0        0        0        0        4"
    "        0      101       10       20       30       40\n"
    "        1        1        1        1        0        0        0        0        4"
    "        0      105       20       50       60       30\n"
    "       -1\n"
    "EBLOCK,10,,\n"
    "(15i9)\n"
    "        7        2        1        1        0       50       60       30       20"
    "       55        0       35       25\n"
    "       -1\n";

TEST(any_reading_test, blocks_of_every_width_give_the_nodes_the_triangles_use) {
  std::string text = two_blocks;
  // Nodes 25, 35, 55: the 8-node shell's midsides (one absent).
  text += "N,25,1.5,0,0 $ N,35,2,0.5,0 $ N,55,1.5,1,0\nFINISH\n";
  const outcome o = read_any(text);
  ASSERT_EQ(o.status, 0) << o.message;
  EXPECT_EQ(o.m.counts.element_count, 3);
  // 2 + 2 triangles of the quads; the shell with midsides on three edges
  // cuts off its two corners between midsides and fans the pentagon left.
  EXPECT_EQ(o.m.counts.triangle_count, 2 + 2 + 5);
  const std::vector<std::int32_t> labels(&o.m.store.node_label[1],
                                         &o.m.store.node_label[1] + o.m.counts.node_count);
  EXPECT_EQ(labels, (std::vector<std::int32_t>{10, 20, 25, 30, 35, 40, 50, 55, 60}));
  EXPECT_EQ(o.m.store.node_xyz[3 * 3 + 1], -1.0);  // node 30, whose fields touch
  EXPECT_EQ(o.m.store.node_xyz[3 * 3 + 2], 1.0);
  EXPECT_EQ(o.m.store.element_position.find(105), 2);
  EXPECT_EQ(o.m.store.element_position.find(7), 3);
  EXPECT_EQ(o.m.store.triangle_element[9], 7);
  EXPECT_TRUE(o.notes.any_notes.empty());
}

// What a reading passes over is noted; what it cannot read is reported,
// the first fault by line.
// The scan that passes over the node blocks skips as many records as their
// headers count; when a count is wrong the model is still the one a single
// scan reads.
TEST(any_reading_test, node_counts_of_block_headers_need_not_be_right) {
  const std::string blocks =
      std::string(two_blocks).substr(0, std::string(two_blocks).find("EBLOCK,10"));
  const outcome one = read_any(blocks);
  ASSERT_EQ(one.status, 0) << one.message;
  for (const auto& [first, second] : {std::pair{2, 2}, {1, 1}, {3, 2}, {2, 3}, {50, 2}, {0, 9}}) {
    std::string text = blocks;
    for (const int count : {first, second}) {
      const std::size_t at = text.find("NBLOCK,6,SOLID\n");
      text.replace(at, 15,
                   "NBLOCK,6,solid," + std::to_string(count) + "," + std::to_string(count) + "\n");
    }
    const outcome two = read_any(text, "", "", 2);
    SCOPED_TRACE(::testing::Message() << first << " " << second);
    ASSERT_EQ(two.status, 0) << two.message;
    ASSERT_EQ(two.m.counts.node_count, one.m.counts.node_count);
    ASSERT_EQ(two.m.counts.triangle_count, one.m.counts.triangle_count);
    for (std::int32_t n = 1; n <= one.m.counts.node_count; ++n) {
      EXPECT_EQ(two.m.store.node_label[n], one.m.store.node_label[n]);
    }
    for (std::int64_t k = 1; k <= 3 * std::int64_t{one.m.counts.triangle_count}; ++k) {
      EXPECT_EQ(two.m.store.triangle_nodes[k], one.m.store.triangle_nodes[k]);
    }
  }
}

TEST(any_reading_test, faults_are_reported_and_what_is_passed_over_noted) {
  const std::string shells = std::string(two_blocks) + "N,25,1.5,0,0\nN,35,2,0.5,0\nN,55,1,1,0\n";
  struct row {
    std::string tail;
    int status;
    std::string expected;  // in the report, or the notes; empty: no note
  };
  const row rows[] = {
      {"ET,3,154\nTYPE,3\nEBLOCK,5,COMPACT\n(5i9)\n      300       10       20       30       40\n"
       "-1\n",
       0, "1 surface-effect elements passed over, the first on archive line"},
      {"EBLOCK,19,SOLID\n(19i9)\n        1        1        1        1        0        0"
       "        0        0        4        0      101       10       20       30       40\n-1\n",
       109, "element 101 is defined a second time"},
      {"EBLOCK,19,SOLID\n(19i9)\n        1        1        1        1        0        0"
       "        0        0        4        0      900       10       20       30       99\n-1\n",
       111, "uses node 99"},
      {"NBLOCK,6,SOLID\n(3i9,6e21.13e3)\n       70        0        0 1.x\n", 109,
       "expected a node record"},
      {"SFE,101,1,HFLUX,0,1,2,3,6\nSFE,105,1,PRES,0,1,1,1,1\n", 113,
       "HFLUX (1), PRES (1); choose one with --flux"},
      {"SFE,999,1,HFLUX,0,1,2,3,6\n", 109, "a flux on element 999"},
      {"D,10,TEMP,%tab%\n", 114, "the potential is a table"},
      {"CM,FIELDPOINTS,NODE\n", 109, "cannot resolve"},
      {"FINISH\n/SOLU\nD,10,TEMP,1.0\n", 0, "1 conditions after FINISH"},
      {"-1\n  7 8 9\n", 0, "2 records of numbers outside any block passed over, the first on"},
      {"RLBLOCK,1,1,6,7\n(2i8,6g16.9)\n(7g16.9)\n       1       6  1.0\n", 0, ""},
  };
  for (const row& r : rows) {
    const outcome o = read_any(shells + r.tail);
    EXPECT_EQ(o.status, r.status) << r.tail << o.message;
    // Two threads read the elements beside the rest, and end alike.
    const outcome two = read_any(shells + r.tail, "", "", 2);
    EXPECT_EQ(two.status, o.status) << r.tail;
    EXPECT_EQ(two.message, o.message) << r.tail;
    EXPECT_EQ(two.notes.any_notes, o.notes.any_notes) << r.tail;
    std::string said = o.message;
    for (const std::string& note : o.notes.any_notes) {
      said += note + "\n";
    }
    if (r.expected.empty()) {
      EXPECT_EQ(said, "") << r.tail;
    } else {
      EXPECT_NE(said.find(r.expected), std::string::npos) << r.tail << "\n" << said;
    }
  }
}

TEST(any_reading_test, a_flux_on_a_shell_reaches_all_its_triangles) {
  std::string text = std::string(two_blocks) + "N,25,1.5,0,0\nN,35,2,0.5,0\nN,55,1,1,0\n" +
                     "SFE,       7,   1,HFLUX,   0,R5.0\n  1.0  2.0\n  3.0  6.0\n" +
                     "SFE,105,3,HFLUX,0,9,9,9,9\n";
  const outcome o = read_any(text);
  ASSERT_EQ(o.status, 0) << o.message;
  for (std::int64_t t = 5; t <= 9; ++t) {
    EXPECT_EQ(o.m.store.triangle_bc_value[t], 3.0) << t;
    EXPECT_EQ(o.m.store.triangle_flux_set[t], 1) << t;
  }
  EXPECT_EQ(o.m.store.triangle_flux_set[3], 0);
  ASSERT_EQ(o.notes.any_notes.size(), 2u);
  EXPECT_NE(o.notes.any_notes[0].find("1 fluxes on edges of surface elements"), std::string::npos);
}

// Nodes 1..9 of a 3 x 3 grid in the plane z = 0, node k at
// ((k - 1) % 3, (k - 1) / 3), then `elements`.
std::string on_grid(const std::string& elements) {
  std::string text = "NBLOCK,6,SOLID\n(3i8,6e16.9)\n";
  for (int k = 1; k <= 9; ++k) {
    char row[80];
    std::snprintf(row, sizeof row, "%8d%8d%8d%16.9e%16.9e%16.9e\n", k, 0, 0,
                  static_cast<double>((k - 1) % 3), static_cast<double>((k - 1) / 3), 0.0);
    text += row;
  }
  return text + "N,R5.3,LOC,-1,\n" + elements;
}

// One SOLID-form record of type attribute 1 and the given node fields.
std::string solid_record(int label, std::initializer_list<int> nodes) {
  std::string text;
  char field[16];
  for (int v : {1, 1, 1, 1, 0, 0, 0, 0, static_cast<int>(nodes.size()), 0, label}) {
    std::snprintf(field, sizeof field, "%9d", v);
    text += field;
  }
  for (int v : nodes) {
    std::snprintf(field, sizeof field, "%9d", v);
    text += field;
  }
  return text + "\n";
}

// Every shell form and block form, with the counts each gives, or its report.
TEST(any_reading_test, each_shell_and_block_form_gives_its_triangles) {
  const std::string solid = "EBLOCK,19,SOLID\n(19i9)\n";
  struct row {
    const char* what;
    std::string archive;
    std::string dof;
    int status, nodes, elements, triangles, field_points, field_cells;
  };
  const row rows[] = {
      {"4-node shells, lower case, $ and !",
       on_grid("et,1,181 $ type,1 ! shells\neblock,5,compact\n(5i9)\n"
               "        1        1        2        5        4\n"
               "        2        5        6        9        8\n-1\n"),
       "", 0, 7, 2, 4, 0, 0},
      {"3-node shell written K = L",
       on_grid("ET,1,63\n" + solid + solid_record(4, {1, 2, 5, 5}) + "-1\n"), "", 0, 3, 1, 1, 0, 0},
      {"8-node shell, COMPACT over two records",
       on_grid("ET,1,281\nTYPE,1\nEBLOCK,5,COMPACT\n(5i9)\n       11        1        3        9"
               "        7\n        2        6        8        4\n-1\n"),
       "", 0, 8, 1, 6, 0, 0},
      {"6-node triangle written as eight",
       on_grid("ET,1,281\n" + solid + solid_record(3, {1, 3, 9, 9, 2, 6, 9, 5}) + "-1\n"), "", 0, 6,
       1, 4, 0, 0},
      {"type 200 six-node triangle by ETBLOCK",
       on_grid("ETBLOCK,1,1\n(2i9,19a9)\n        1      200        5\n       -1\n" + solid +
               solid_record(3, {1, 3, 9, 2, 6, 5}) + "-1\n"),
       "", 0, 6, 1, 4, 0, 0},
      {"type 200 four-node quad by KEYOPT, a tet beside it passed over",
       on_grid("ET,1,200\nKEYOPT,1,1,6\nET,2,285\n" + solid + solid_record(3, {1, 3, 9, 7}) +
               "        1        2        1        1        0        0        0        0        4"
               "        0        8        1        2        4        5\n-1\n"),
       "", 0, 4, 1, 2, 0, 0},
      {"field points and a cell over them",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               solid_record(2, {6, 9, 8, 8}) +
               "-1\nCMBLOCK,FIELDPOINTS,NODE,2\n(8i10)\n         6        -9\n"
               "CMBLOCK,FIELDCELLS,ELEM,1\n(8i10)\n         2\n"),
       "", 0, 4, 1, 2, 4, 1},
      {"a component whose count is of the labels it names",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               solid_record(2, {6, 9, 8, 8}) +
               "-1\nCMBLOCK,FIELDPOINTS,NODE,4\n(8i10)\n         6        -9\n"
               "CMBLOCK,FIELDCELLS,ELEM,1\n(8i10)\n         2\n"),
       "", 0, 4, 1, 2, 4, 1},
      {"a cell corner that is not a field point",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               solid_record(2, {5, 9, 8, 8}) +
               "-1\nCMBLOCK,FIELDPOINTS,NODE,2\n(8i10)\n         6        -9\n"
               "CMBLOCK,FIELDCELLS,ELEM,1\n(8i10)\n         2\n"),
       "", 112, 0, 0, 0, 0, 0},
      {"a field cell without node fields",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               "-1\nEBLOCK,5\n(10i9)\n        2        9\n-1\n"
               "CMBLOCK,FIELDCELLS,ELEM,1\n(8i10)\n         2\n"),
       "", 112, 0, 0, 0, 0, 0},
      {"no ET record and 6 node fields",
       on_grid(solid + solid_record(3, {1, 3, 9, 2, 6, 5}) + "-1\n"), "", 109, 0, 0, 0, 0, 0},
      {"a missing continuation record",
       on_grid("ET,1,281\nTYPE,1\nEBLOCK,5,COMPACT\n(5i9)\n       11        1        3        9"
               "        7\n-1\n"),
       "", 109, 0, 0, 0, 0, 0},
      {"only solids: a tet's skin",
       on_grid("ET,1,285\n" + solid + solid_record(3, {1, 2, 4, 5}) + "-1\n"), "", 0, 4, 1, 4, 0,
       0},
      {"nodes only", on_grid(""), "", 110, 0, 0, 0, 0, 0},
      {"a solid with a corner not written",
       on_grid("ET,1,285\n" + solid + solid_record(3, {1, 2, 0, 5}) +
               solid_record(4, {1, 2, 0, 5}) + "-1\n"),
       "", 111, 0, 0, 0, 0, 0},
      {"two DOF labels",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               "-1\nD,1,TEMP,1.0\nD,2,VOLT,2.0\n"),
       "", 113, 0, 0, 0, 0, 0},
      {"two DOF labels, one chosen",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) +
               "-1\nD,1,TEMP,1.0\nD,2,VOLT,2.0\n"),
       "temp", 0, 4, 1, 2, 0, 0},
      {"a DOF label no record has",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) + "-1\nD,1,TEMP,1.0\n"), "MAG",
       113, 0, 0, 0, 0, 0},
      {"D,ALL",
       on_grid("ET,1,181\n" + solid + solid_record(1, {1, 2, 5, 4}) + "-1\nD,ALL,TEMP,1\n"), "",
       114, 0, 0, 0, 0, 0},
  };
  for (const row& r : rows) {
    const outcome o = read_any(r.archive, "", r.dof);
    EXPECT_EQ(o.status, r.status) << r.what << ": " << o.message;
    if (o.status != 0 || r.status != 0) {
      continue;
    }
    const model_counts& c = o.m.counts;
    EXPECT_EQ(c.node_count, r.nodes) << r.what;
    EXPECT_EQ(c.element_count, r.elements) << r.what;
    EXPECT_EQ(c.triangle_count, r.triangles) << r.what;
    EXPECT_EQ(c.field_point_count, r.field_points) << r.what;
    EXPECT_EQ(c.field_cell_count, r.field_cells) << r.what;
  }
}

// Nodes 1 to 9 are found by label without a table: a label just past them
// or below them is still no node.
TEST(any_reading_test, labels_next_to_the_defined_ones_are_no_nodes) {
  for (const int node : {10, -1}) {
    const outcome o = read_any(
        on_grid("ET,1,181\nEBLOCK,19,SOLID\n(19i9)\n" + solid_record(1, {1, 2, node, 4}) + "-1\n"));
    EXPECT_EQ(o.status, 111) << node;
    EXPECT_NE(o.message.find("uses node " + std::to_string(node) + ","), std::string::npos)
        << o.message;
  }
}

// Potentials of the chosen label reach boundary nodes, a repeat right
// after a record for its node is passed over, a node off the boundary is
// noted; SFEBLOCK rows give fluxes as SFE records do.
TEST(any_reading_test, conditions_of_the_chosen_labels_reach_the_model) {
  const std::string archive =
      on_grid("ET,1,181\nEBLOCK,19,SOLID\n(19i9)\n" + solid_record(1, {1, 2, 5, 4}) +
              solid_record(2, {2, 3, 6, 5}) +
              "-1\nD,1,TEMP,1.0\nD,1,TEMP,7.0\nD,2,TEMP,2.0\nD,2,TEMP,9.0\nD,5,TEMP,4.0\n"
              "D,4,TEMP,5.0\nD,9,TEMP,3.0\nSFEBLOCK,1,HFLUX,0\n(i9,i4,i4,4(pg20.9))\n"
              "        2   1   0  1.0                 2.0                 3.0                 "
              "6.0\nSFE,end,LOC,-1,\n");
  const outcome o = read_any(archive);
  ASSERT_EQ(o.status, 0) << o.message;
  const model_store& s = o.m.store;
  // Positions: nodes 1 2 3 4 5 6 in label order.
  EXPECT_EQ(s.node_potential[1], 1.0);
  EXPECT_EQ(s.node_potential[2], 2.0);
  EXPECT_EQ(s.node_potential[5], 4.0);
  EXPECT_EQ(s.node_potential[4], 5.0);
  ASSERT_EQ(o.notes.any_notes.size(), 2u);
  EXPECT_EQ(o.notes.any_notes[0],
            "1 potentials on nodes that are not boundary nodes passed over, the first on archive "
            "line 25");
  const auto [first, end] = s.element_triangles(2);
  for (std::int32_t t = first; t < end; ++t) {
    EXPECT_EQ(s.triangle_bc_value[t], 3.0) << t;
  }
}

// Eight bricks in a cube of side 2: the skin leaves out the faces they
// share, is closed and oriented outward (each directed edge once, the
// volume by the divergence theorem positive and equal to the bricks'), a
// flux on a skin face reaches its triangles and one on a shared face is
// noted, as is a potential at the node in the middle, which no skin face
// has.
TEST(any_reading_test, eight_bricks_give_their_outward_skin) {
  const auto id = [](int x, int y, int z) { return 1 + x + 3 * y + 9 * z; };
  std::string text = "ET,1,185\nNBLOCK,6,SOLID\n(3i8,6e16.9)\n";
  for (int z = 0; z < 3; ++z) {
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 3; ++x) {
        char row[80];
        std::snprintf(row, sizeof row, "%8d%8d%8d%16.9e%16.9e%16.9e\n", id(x, y, z), 0, 0,
                      static_cast<double>(x), static_cast<double>(y), static_cast<double>(z));
        text += row;
      }
    }
  }
  text += "-1\nEBLOCK,19,SOLID\n(19i9)\n";
  int label = 0;
  for (int z = 0; z < 2; ++z) {
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        text += solid_record(++label, {id(x, y, z), id(x + 1, y, z), id(x + 1, y + 1, z),
                                       id(x, y + 1, z), id(x, y, z + 1), id(x + 1, y, z + 1),
                                       id(x + 1, y + 1, z + 1), id(x, y + 1, z + 1)});
      }
    }
  }
  text += "-1\nSFE,1,1,HFLUX,0,1,2,1,2\nSFE,1,3,HFLUX,0,9,9,9,9\nD,14,TEMP,5\nD,1,TEMP,7\n";
  const outcome o = read_any(text);
  ASSERT_EQ(o.status, 0) << o.message;
  const model_store& s = o.m.store;
  const std::int32_t t_count = o.m.counts.triangle_count;
  EXPECT_EQ(o.m.counts.node_count, 26);
  EXPECT_EQ(o.m.counts.element_count, 8);
  EXPECT_EQ(t_count, 48);  // 4 faces of each of the cube's 6 sides, 2 triangles each
  std::vector<std::pair<std::int32_t, std::int32_t>> edges;
  double volume = 0.0;
  for (std::int32_t t = 1; t <= t_count; ++t) {
    const std::int32_t* v = s.triangle_nodes.column(t);
    for (int k = 0; k < 3; ++k) {
      edges.emplace_back(v[k], v[(k + 1) % 3]);
    }
    const double* a = s.node_xyz.column(v[0]);
    const double* b = s.node_xyz.column(v[1]);
    const double* c = s.node_xyz.column(v[2]);
    volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0])) /
              6.0;
    // The bottom face (face 1 of brick 1) carries the flux, the rest none.
    const bool bottom = s.triangle_element[t] == 1 && s.triangle_face[t] == 1;
    const bool potential = s.triangle_bc_kind[t] == potential_prescribed;
    EXPECT_EQ(s.triangle_bc_value[t], bottom ? 1.5 : 0.0) << t;
    EXPECT_FALSE(potential) << t;
  }
  std::sort(edges.begin(), edges.end());
  EXPECT_EQ(std::adjacent_find(edges.begin(), edges.end()), edges.end());  // each directed once
  for (const auto& [from, to] : edges) {
    EXPECT_TRUE(std::binary_search(edges.begin(), edges.end(), std::make_pair(to, from)));
  }
  EXPECT_NEAR(volume, 8.0, 1e-12);
  EXPECT_EQ(s.node_potential[1], 7.0);  // node 1 is the first boundary node
  EXPECT_EQ(o.notes.any_notes,
            (std::vector<std::string>{
                "1 potentials on nodes that are not boundary nodes passed over, the first on "
                "archive line 45",
                "1 fluxes on faces of solids that are not on the skin passed over, the first on "
                "archive line 44",
                "the boundary taken: the skin of 8 solid elements"}));
}

// Bricks whose element records each take a record and a continuation,
// in a large block and a small one, then a flux: with two threads the
// scan of the nodes reads part of the large block ahead, from a record it
// finds somewhere in it, and the model and the reports must be those of
// one scan wherever that falls (also for an element there that uses a
// node no block defines, whose line the report names, and for the first
// of two such elements, one in each half of the elements).
TEST(any_reading_test, one_and_two_threads_agree_on_elements_read_ahead) {
  constexpr int m = 30;  // bricks along each side
  constexpr int n = m + 1;
  const auto id = [](int x, int y, int z) { return 1 + x + n * y + n * n * z; };
  std::string nodes = "ET,1,185\nNBLOCK,6,SOLID," + std::to_string(n * n * n) + "," +
                      std::to_string(n * n * n) + "\n(3i9,6e21.13e3)\n";
  char row[96];
  for (int z = 0; z < n; ++z) {
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        std::snprintf(row, sizeof row, "%9d%9d%9d%21.13E%21.13E%21.13E\n", id(x, y, z), 0, 0,
                      1.0 * x, 1.0 * y, 1.0 * z);
        nodes += row;
      }
    }
  }
  nodes += "-1\n";
  const auto blocks = [&](std::pair<int, int> undefined_at) {
    std::string text = nodes;
    int label = 0;
    for (const auto& [from, to] : {std::pair{0, m - 1}, std::pair{m - 1, m}}) {
      text += "EBLOCK,19,SOLID\n(12i9)\n";
      for (int z = from; z < to; ++z) {
        for (int y = 0; y < m; ++y) {
          for (int x = 0; x < m; ++x) {
            ++label;
            const int corners[8] = {id(x, y, z),
                                    id(x + 1, y, z),
                                    id(x + 1, y + 1, z),
                                    id(x, y + 1, z),
                                    id(x, y, z + 1),
                                    id(x + 1, y, z + 1),
                                    label == undefined_at.first || label == undefined_at.second
                                        ? 99999999
                                        : id(x + 1, y + 1, z + 1),
                                    id(x, y + 1, z + 1)};
            for (int v : {1, 1, 1, 1, 0, 0, 0, 0, 8, 0, label, corners[0]}) {
              std::snprintf(row, sizeof row, "%9d", v);
              text += row;
            }
            text += "\n";
            for (int c = 1; c < 8; ++c) {
              std::snprintf(row, sizeof row, "%9d", corners[c]);
              text += row;
            }
            text += "\n";
          }
        }
      }
      text += "-1\n";
    }
    // Then records noted by their lines: a flux on a face inside, a stray
    // record of numbers, a condition after FINISH.
    return text + "SFE,1,1,HFLUX,0,1,2,3,4\nSFE,13966,1,HFLUX,0,1,2,3,4\n  1 2 3\nFINISH\n" +
           "D,5,TEMP,1.0\n";
  };
  const int late = m * m * (m - 1) - 1;
  for (const auto& undefined_at : {std::pair{0, 0}, std::pair{0, late}, std::pair{100, late}}) {
    const std::string text = blocks(undefined_at);
    const outcome one = read_any(text);
    ASSERT_EQ(one.status, undefined_at.second == 0 ? 0 : 111) << one.message;
    if (undefined_at.second != 0) {
      const int first = undefined_at.first != 0 ? undefined_at.first : undefined_at.second;
      EXPECT_NE(one.message.find("element " + std::to_string(first) + " on"), std::string::npos)
          << one.message;
    }
    const model_store& a = one.m.store;
    const std::int32_t t_count = one.m.counts.triangle_count;
    // Each triangle lies in the range of its element's position, most
    // solids having none.
    for (std::int32_t t = 1; t <= t_count; ++t) {
      const std::int32_t p = a.element_position.find(a.triangle_element[t]);
      ASSERT_GT(p, 0) << t;
      ASSERT_LE(a.element_first_triangle[p], t) << t;
      ASSERT_GT(a.element_first_triangle[p + 1], t) << t;
    }
    for (int run = 0; run < 8; ++run) {
      const outcome two = read_any(text, "", "", 2);
      ASSERT_EQ(two.status, one.status) << two.message;
      ASSERT_EQ(two.message, one.message);
      ASSERT_EQ(two.m.counts.triangle_count, t_count);
      ASSERT_EQ(two.m.counts.node_count, one.m.counts.node_count);
      // The scan of the rest lands near the node block's end without
      // counting its lines: the notes still name the lines one scan does.
      ASSERT_EQ(two.notes.any_notes, one.notes.any_notes);
      const model_store& b = two.m.store;
      for (std::int32_t t = 1; t <= t_count; ++t) {
        ASSERT_EQ(b.triangle_element[t], a.triangle_element[t]) << t;
        ASSERT_EQ(b.triangle_face[t], a.triangle_face[t]) << t;
        ASSERT_EQ(b.triangle_bc_value[t], a.triangle_bc_value[t]) << t;
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(b.triangle_nodes.column(t)[k], a.triangle_nodes.column(t)[k]) << t;
        }
      }
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
