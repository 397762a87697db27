// On archives in the legacy layout the reading of "--any" must end every
// run as the default reading does: the same status, console, error output
// and both files, byte for byte, with one thread and with two.  The
// archives are drawn from seeds (legacy_archives.h); CDBBEM_IDENTITY_ARCHIVES
// sets how many (for a long run by hand) and CDBBEM_IDENTITY_FIRST_SEED the
// first seed, so that a seed a failure names can be run alone.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "legacy_archives.h"
#include "random_archives.h"
#include "run_trace.h"

namespace cdbbem::testing {
namespace {

// A few seconds in a RelWithDebInfo build.
constexpr std::uint64_t default_archives = 300;

TEST(any_identity_test, any_translates_legacy_archives_as_the_default_reading_does) {
  const std::uint64_t count = from_environment("CDBBEM_IDENTITY_ARCHIVES", default_archives);
  const std::uint64_t first = from_environment("CDBBEM_IDENTITY_FIRST_SEED", 1);
  std::uint64_t differences = 0;
  std::string recipes;
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const legacy_archive archive = draw_legacy_archive(seed);
    recipes += archive.recipe + "\n";
    const run_trace legacy = trace_run(archive.text, 1);
    // Anything else is a fault of the generator: the archive is not in
    // the legacy layout.
    if (legacy.status != 0 || legacy.out.find("Node number error") != std::string::npos) {
      ADD_FAILURE() << "seed " << seed << " (" << archive.recipe
                    << "): the default reading ends with status " << legacy.status << ", "
                    << legacy.out << legacy.err;
      continue;
    }
    for (unsigned threads : {1u, 2u}) {
      const run_trace any = trace_run(archive.text, threads, 0, true);
      if (!(any == legacy)) {
        ++differences;
        ADD_FAILURE() << "seed " << seed << " (" << archive.recipe << "): "
                      << trace_difference(legacy, any, "the default reading",
                                          "--any with " + std::to_string(threads) + " thread(s)");
      }
    }
  }
  std::printf("%llu legacy archives from seed %llu, %llu runs of --any differ\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(first),
              static_cast<unsigned long long>(differences));
  // The default set must keep drawing every variation, so that a change to
  // the generator cannot leave one of them untried.
  if (first == 1 && count >= default_archives) {
    for (const char* variation : {"CR LF",
                                  "no last line end",
                                  "labels shuffled",
                                  "labels reversed",
                                  "grid coordinates",
                                  "shell type by name",
                                  "lower-case et",
                                  "node header counts missing or wrong",
                                  "node attributes",
                                  "rotation angles",
                                  "short node records",
                                  "no node terminator",
                                  "stray N records",
                                  "split element records",
                                  "corners repeated after the node count",
                                  "element terminator in column 1",
                                  "EN terminator record",
                                  "component over several records",
                                  "empty field-cell range",
                                  "another component",
                                  "comma-separated fluxes",
                                  "fluxes on two records"}) {
      EXPECT_NE(recipes.find(variation), std::string::npos) << "no archive with " << variation;
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
