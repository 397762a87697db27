#include "archive/survey.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "archive/load_notes.h"
#include "model/model.h"
#include "run/channels.h"
#include "support/test_support.h"
#include "textrec/failure.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

model_counts count(const std::string& text) {
  record_reader archive;
  archive.open_memory(text, channels::archive);
  model_counts counts;
  survey_counts(archive, counts);
  return counts;
}

load_notes flags(const std::string& text) {
  record_reader archive;
  archive.open_memory(text, channels::archive);
  load_notes notes;
  survey_conditions(archive, notes);
  return notes;
}

const std::string offsets = lines({"/PREP7", "*IF,_CDRDOFF,EQ,1,THEN", "*ELSE   !offsets",
                                   "NUMOFF,NODE,     1200", "NUMOFF,ELEM,     1100"});
const std::string cells = lines({"CMBLOCK,FIELDCELLS,ELEM,       2  ! users element component",
                                 "(8i10)", "      1001     -1100"});
const std::string points = lines({"CMBLOCK,FIELDPOINTS,NODE,       2  ! users node component",
                                  "(8i10)", "      1101     -1200"});
const std::string finish = lines({"/GO", "FINISH"});

TEST(survey_test, counts) {
  struct row {
    std::string text;
    std::int32_t n, e, p, c;
  };
  const row rows[] = {
      {offsets + cells + points + finish, 1100, 1000, 100, 100},
      // A range continued on the next record.
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)", "      1001", "     -1100"}) +
           points + finish,
       1100, 1000, 100, 100},
      // Field points are looked for only after the field cells.
      {offsets + points + finish, 1200, 1100, 0, 0},
      {offsets + points + cells + finish, 1200, 1100, 0, 100},
      {offsets + cells + finish, 1200, 1100, 0, 100},
      {offsets + finish, 1200, 1100, 0, 0},
      // Only five columns are compared with "*ELSE".
      {lines({"*IF,A", "*ELSEIF,B", "NUMOFF,NODE,        7", "NUMOFF,ELEM,        3"}) + finish, 7,
       3, 0, 0},
      // The two records after "*ELSE" are taken for the counts, whatever they are.
      {lines({"*ELSE", "NUMOFF,TYPE,        2", "NUMOFF,NODE,        9"}) + finish, 2, 9, 0, 0},
  };
  for (const row& r : rows) {
    model_counts c = count(r.text);
    EXPECT_EQ(c.node_count, r.n) << r.text;
    EXPECT_EQ(c.element_count, r.e) << r.text;
    EXPECT_EQ(c.field_point_count, r.p) << r.text;
    EXPECT_EQ(c.field_cell_count, r.c) << r.text;
  }
}

TEST(survey_test, finish_before_offsets_stops_the_run) {
  EXPECT_THROW(count(lines({"/PREP7", "FINISH", "*ELSE", "NUMOFF,NODE,1", "NUMOFF,ELEM,1"})),
               run_stop);
  // Past the offsets, "FINISH" ends the component search instead.
  EXPECT_EQ(count(offsets + lines({"FINISH"})).node_count, 1200);
}

TEST(survey_test, count_failures) {
  struct row {
    std::string text;
    report number;
  };
  const row rows[] = {
      {"", report::end_of_file},
      {lines({"/PREP7", "NUMOFF,NODE,        3"}), report::end_of_file},
      {lines({"*ELSE"}), report::end_of_file},
      {lines({"*ELSE", "NUMOFF,NODE,        3"}), report::end_of_file},
      {offsets, report::end_of_file},
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2"}), report::end_of_file},
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)"}), report::end_of_file},
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)", "      1001"}),
       report::end_of_file},
      {offsets + cells, report::end_of_file},
      {offsets + cells + lines({"CMBLOCK,FIELDPOINTS,NODE,       2", "(8i10)", "      1101"}),
       report::end_of_file},
      {lines({"*ELSE", "NUMOFF,NODE,      abc", "NUMOFF,ELEM,        1"}) + finish,
       report::input_conversion},
      {lines({"*ELSE", "NUMOFF,NODE,        1", "NUMOFF,ELEM,      1.5"}) + finish,
       report::input_conversion},
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)", "      1001      abc"}),
       report::list_syntax},
      // A value opening with T or F is a logical value, not a number.
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)", "      1001", "FINISH"}),
       report::input_conversion},
      {offsets + cells + lines({"CMBLOCK,FIELDPOINTS,NODE,       2", "(8i10)", "T -1200"}),
       report::input_conversion},
      {offsets + lines({"CMBLOCK,FIELDCELLS,ELEM,       2", "(8i10)", "1 -99999999999"}),
       report::input_conversion},
  };
  for (const row& r : rows) {
    try {
      count(r.text);
      ADD_FAILURE() << "no failure:\n" << r.text;
    } catch (const run_failure& f) {
      EXPECT_EQ(f.number, r.number) << r.text;
      EXPECT_EQ(f.unit, channels::archive) << r.text;
    }
  }
}

TEST(survey_test, condition_flags) {
  struct row {
    std::string records;
    bool potential, flux;
    std::int64_t first_flux_line = 0;  // after the five lines of the offsets
  };
  const row rows[] = {
      {"", false, false},
      {"D,     12,TEMP, 100.0\n", true, false},
      // Every record opening with "D," is a potential record.
      {"D,123456,TEMP, 100.0\n", true, false},
      {"D1,    12,TEMP\nDK,     1,UX\n D,     1,TEMP\n", false, false},
      {"SFE,       3,   1,HFLUX\n", false, true, 6},
      {"SFEDELE,ALL\nSFE       3\nSF,ALL,HFLUX\n", false, false},
      {"SFE,       3,   1,HFLUX\n1 2 3 4\nD,      1,TEMP,1\n", true, true, 6},
      {"SFEDELE,ALL\nSFE,       3\n1 2 3 4\nSFE,       4\n", false, true, 7},
      // Nothing after the first record opening "FINI" is looked at.
      {"FINI\nD,      1,TEMP,1\nSFE,       3\n", false, false},
  };
  for (const row& r : rows) {
    const load_notes c = flags(offsets + r.records + finish);
    EXPECT_EQ(c.marks.first_flux.line, r.first_flux_line) << r.records;
    EXPECT_EQ(c.has_potential_conditions, r.potential) << r.records;
    EXPECT_EQ(c.has_flux_conditions, r.flux) << r.records;
  }
  try {
    flags(offsets + "D,      1,TEMP,1\n");
    ADD_FAILURE() << "no failure";
  } catch (const run_failure& f) {
    EXPECT_EQ(f.number, report::end_of_file);
  }
}

// Where a reader looking for the element layout from a given line would
// stop, when the survey can tell: it cannot across the records it read
// without looking (the offset counts, lines 4-5; the cell range, 10-11).
TEST(survey_test, element_layout_marks) {
  const std::string text = offsets + lines({"(19i8)", "(19i9  x", "(19i10)"}) + cells +
                           lines({"(19i9) "}) + points + finish;
  record_reader archive;
  archive.open_memory(text, channels::archive);
  model_counts counts;
  survey_marks marks;
  survey_counts(archive, counts, &marks);
  const std::pair<std::int64_t, std::int64_t> rows[] = {{1, 0}, {4, 0},  {6, 6},   {7, 8}, {8, 8},
                                                        {9, 0}, {11, 0}, {12, 12}, {13, 0}};
  for (const auto& [from, line] : rows) {
    record_mark at;
    EXPECT_EQ(marks.element_layout_from(from, at), line != 0) << from;
    if (line != 0) {
      EXPECT_EQ(at.line, line) << from;
      archive.seek(at);
      EXPECT_EQ(archive.next_or_fail().substr(0, 4), "(19i") << from;
      EXPECT_EQ(archive.line_number(), line) << from;
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
