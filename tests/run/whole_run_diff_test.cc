// One thread and two must end every run alike: the same status, console,
// error output and both files, byte for byte.  The archives are drawn from
// seeds, valid and damaged (random_archives.h); CDBBEM_DIFF_ARCHIVES sets
// how many (for a long run by hand) and CDBBEM_DIFF_FIRST_SEED the first
// seed, so that a seed a failure names can be run alone.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "random_archives.h"
#include "run_trace.h"

namespace cdbbem::testing {
namespace {

// A few seconds in a RelWithDebInfo build, some ten under AddressSanitizer
// or ThreadSanitizer.
constexpr std::uint64_t default_archives = 500;

// The store a drawn count may ask for: beyond it the run ends with 41
// rather than touching memory the test does not need.
constexpr std::uint64_t store_cap = std::uint64_t{64} << 20;

TEST(whole_run_diff_test, one_and_two_threads_agree_on_random_archives) {
  const std::uint64_t count = from_environment("CDBBEM_DIFF_ARCHIVES", default_archives);
  const std::uint64_t first = from_environment("CDBBEM_DIFF_FIRST_SEED", 1);
  std::map<int, std::uint64_t> statuses;
  std::uint64_t disagreements = 0;
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const random_archive archive = draw_archive(seed);
    const run_trace one = trace_run(archive.text, 1, store_cap);
    const run_trace two = trace_run(archive.text, 2, store_cap);
    ++statuses[one.status];
    if (!(one == two)) {
      ++disagreements;
      ADD_FAILURE() << "seed " << seed << " (" << archive.recipe
                    << "): " << trace_difference(one, two);
    }
  }
  std::string histogram;
  for (const auto& [status, runs] : statuses) {
    histogram += " " + std::to_string(status) + ":" + std::to_string(runs);
  }
  std::printf("%llu archives from seed %llu, %llu disagreements; statuses%s\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(first),
              static_cast<unsigned long long>(disagreements), histogram.c_str());
  // The default set must keep reaching every kind of end, so that a change
  // to the generator or the program cannot leave one of them untried.
  if (first == 1 && count >= default_archives) {
    for (int status : {0, 1, 24, 33, 35, 39, 41, 59, 63, 64, 101, 102, 103, 104, 105, 106, 179}) {
      EXPECT_GT(statuses[status], 0u) << "no archive ended with " << status;
    }
  }
}

}  // namespace
}  // namespace cdbbem::testing
