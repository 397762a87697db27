// Each stage that searches the archive for a landmark reads records until
// it finds it.  On an archive without the landmark every one must read each
// record once and end with the end-of-file report, whatever the archive's
// length.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include "archive/boundary_conditions.h"
#include "archive/element_block.h"
#include "archive/load_notes.h"
#include "archive/node_block.h"
#include "archive/survey.h"
#include "model/model.h"
#include "model/store.h"
#include "run/channels.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

constexpr int filler_records = 200'000;

// Records that look like an archive's but hold none of the landmarks: no
// "*ELSE", "FINISH", "FINI", "FI", field components, node or element
// layout, and no condition record.
std::string filler() {
  const char* kinds[] = {
      "/COM,comment line",
      "NBLOCK,6,SOLID,        39,        39",
      "(3i8,6e16.8)",
      "EBLOCK,19,SOLID,        28,        28",
      "(19i7)",
      "CMBLOCK,FIELD,ELEM,       2",
      "       1       0       0 0.000000000E+00 0.000000000E+00 0.000000000E+00",
      "*EL",
      "F",
      "",
  };
  std::string text;
  for (int k = 0; k < filler_records; ++k) {
    text += kinds[k % 10];
    text += '\n';
  }
  return text;
}

struct search {
  const char* name;
  std::string lead;  // records ahead of the filler that bring the stage to its search
  std::function<void(record_reader&, model&)> stage;
};

TEST(search_end_test, each_search_ends_at_the_end_of_the_archive) {
  const std::string offsets = "*ELSE\nNUMOFF,NODE,        1\nNUMOFF,ELEM,        1\n";
  const std::string cells = "CMBLOCK,FIELDCELLS,ELEM,       1\n(8i10)\n 2 -2\n";
  output_channel console;
  load_notes notes;
  const search searches[] = {
      {"offset section", "", [](record_reader& a, model& m) { survey_counts(a, m.counts); }},
      {"field-cell component", offsets,
       [](record_reader& a, model& m) { survey_counts(a, m.counts); }},
      {"field-point component", offsets + cells,
       [](record_reader& a, model& m) { survey_counts(a, m.counts); }},
      {"end of the conditions", "",
       [&notes](record_reader& a, model&) { survey_conditions(a, notes); }},
      {"node layout", "",
       [&](record_reader& a, model& m) { read_node_block(a, &console, m, notes); }},
      {"element layout", "", [](record_reader& a, model& m) { read_element_records(a, m); }},
      {"end of the potentials", "",
       [](record_reader& a, model& m) { read_potential_conditions(a, m); }},
      {"end of the fluxes", "", [](record_reader& a, model& m) { read_flux_conditions(a, m, 1); }},
  };
  const std::string tail = filler();
  for (const search& s : searches) {
    SCOPED_TRACE(s.name);
    const std::string text = s.lead + tail;
    record_reader archive;
    archive.open_memory(text, channels::archive);
    model m;
    allocate_store(m.counts, m.store, store_budget(0));
    auto start = std::chrono::steady_clock::now();
    try {
      s.stage(archive, m);
      ADD_FAILURE() << "the search ended without its landmark";
    } catch (const run_failure& f) {
      EXPECT_EQ(f.number, report::end_of_file);
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 5.0);
    // Every record was read, each once.
    EXPECT_EQ(archive.line_number(), std::count(text.begin(), text.end(), '\n'));
  }
}

}  // namespace
}  // namespace cdbbem::testing
