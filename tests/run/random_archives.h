#ifndef CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_
#define CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace cdbbem::testing {

/// Random numbers from a seed by splitmix64 steps: the same numbers for a
/// seed on every platform, which the standard library's distributions do
/// not promise.
class dice {
 public:
  explicit dice(std::uint64_t seed) : state_(seed) {}

  /// The next number of the sequence.
  std::uint64_t next() {
    std::uint64_t x = state_ += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
  }
  /// 0 to n - 1; n > 0.
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  /// lo to hi, both included.
  std::int64_t in(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(next() % (static_cast<std::uint64_t>(hi - lo) + 1));
  }
  /// True p times in a hundred.
  bool percent(unsigned p) { return below(100) < p; }
  /// One of `items`.
  template <typename T>
  T pick(std::initializer_list<T> items) {
    return items.begin()[below(items.size())];
  }

 private:
  std::uint64_t state_;
};

/// The number in the environment variable `name`, or `otherwise` when it
/// is not set or empty: how many archives a test draws, and from which
/// seed, for a long run by hand or to run a seed a failure names alone.
std::uint64_t from_environment(const char* name, std::uint64_t otherwise);

/// An archive drawn from a seed, and what it was made of in words, for the
/// message of a test that fails on it.
struct random_archive {
  std::string text;
  std::string recipe;
};

/// The archive of `seed`: a random model written by `build_archive` (sizes
/// from one element to a few thousand, every node and element layout, LF or
/// CR LF, field points and cells, potentials and fluxes, misnumbered nodes,
/// extreme coordinates), then none, one or two random damages: a count
/// edited (negative, huge, off by a few), a field replaced by junk or by a
/// value too wide for it, an index out of its range, lines or whole blocks
/// deleted, repeated, moved or added, bytes changed, the file cut.  The
/// same seed gives the same archive on every run.
random_archive draw_archive(std::uint64_t seed);

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_RUN_RANDOM_ARCHIVES_H_
