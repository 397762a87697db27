#ifndef CDBBEM_TESTS_TEXTREC_TEXTREC_HELPERS_H_
#define CDBBEM_TESTS_TEXTREC_TEXTREC_HELPERS_H_

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "platform/fp_env.h"
#include "run/channels.h"
#include "support/test_support.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"

namespace cdbbem::testing {

/// Flush-to-zero and denormals-are-zero while alive, as during a run; the
/// previous floating-point environment is restored on exit.
class flush_scope {
 public:
  flush_scope() {
    std::fegetenv(&saved_);
    flush_denormals();
  }
  ~flush_scope() { std::fesetenv(&saved_); }
  flush_scope(const flush_scope&) = delete;
  flush_scope& operator=(const flush_scope&) = delete;

 private:
  std::fenv_t saved_;
};

/// The bytes that `write` sends to an output channel on a fresh file.
inline std::string written(const std::function<void(output_channel&)>& write) {
  temp_dir dir;
  std::string path = dir.file("out.txt");
  {
    output_channel out;
    out.open_file(path, channels::model);
    write(out);
    out.finish();
  }
  return read_file(path);
}

/// The failure that `action` raises; the test fails when it raises none.
inline run_failure failure_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const run_failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "no failure was raised";
  return {};
}

/// The bits of a double, to compare values exactly (signed zeros, NaN).
inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

/// A finite double for exactness checks, of any magnitude and sign: a
/// random bit pattern, a subnormal, a short binary fraction, an exact
/// decimal tie at 7, 9 or 15 significant digits, or a double next to such a
/// tie between two decimals.
inline double random_double(std::mt19937_64& rng) {
  constexpr std::uint64_t mantissa = (std::uint64_t{1} << 52) - 1;
  constexpr std::uint64_t infinite = std::uint64_t{0x7ff} << 52;
  std::uint64_t sign = rng() & (std::uint64_t{1} << 63);
  auto pick = [&rng](std::uint64_t lo, std::uint64_t hi) { return lo + rng() % (hi - lo + 1); };
  static constexpr int tie_digits[] = {7, 9, 15};
  std::uint64_t p10 = 1;
  for (int k = tie_digits[pick(0, 2)]; k > 0; --k) {
    p10 *= 10;
  }
  exact_denormals_scope exact;
  double v = 0.0;
  switch (pick(0, 5)) {
  case 0: {
    std::uint64_t b;
    do {
      b = rng() & ~(std::uint64_t{1} << 63);
    } while ((b & infinite) == infinite);
    v = std::bit_cast<double>(b);
    break;
  }
  case 1:
    v = std::bit_cast<double>(rng() & mantissa);
    break;
  case 2:
    v = std::ldexp(static_cast<double>(pick(1, 1 << 24)), static_cast<int>(pick(0, 80)) - 40);
    break;
  case 3: {
    // m / 2^n = m * 5^n / 10^n: a tie when m * 5^n has d + 1 digits ending in 5.
    int n = static_cast<int>(pick(1, 6));
    std::uint64_t p5 = 1;
    for (int k = 0; k < n; ++k) {
      p5 *= 5;
    }
    std::uint64_t m = pick(p10 / p5 + 1, (10 * p10 - 1) / p5) | 1;
    v = std::ldexp(static_cast<double>(m), -n);
    break;
  }
  case 4: {
    // A (d + 1)-digit integer ending in 5, times a power of ten, is a tie.
    std::uint64_t q = pick(p10 / 10, p10 - 1) * 10 + 5;
    while (q < (std::uint64_t{1} << 49) && pick(0, 1) == 1) {
      q *= 10;
    }
    v = static_cast<double>(q);
    break;
  }
  default: {
    // The nearest double to a tie at some other decimal exponent, or a
    // neighbour of it.
    char text[48];
    std::snprintf(text, sizeof text, "%llu5e%d",
                  static_cast<unsigned long long>(pick(p10 / 10, p10 - 1)),
                  static_cast<int>(pick(0, 640)) - 340);
    v = std::strtod(text, nullptr);
    int step = static_cast<int>(pick(0, 2)) - 1;
    if (step != 0 && std::isfinite(v)) {
      v = std::nextafter(v, step * HUGE_VAL);
    }
    if (!std::isfinite(v)) {
      v = 1.0;
    }
  }
  }
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) | sign);
}

}  // namespace cdbbem::testing

#endif  // CDBBEM_TESTS_TEXTREC_TEXTREC_HELPERS_H_
