#ifndef CDBBEM_TEXTREC_QUICK_REAL_H_
#define CDBBEM_TEXTREC_QUICK_REAL_H_

#include <cstdint>

#include "textrec/real_scan.h"

namespace cdbbem {

/// Doubles 10^0 to 10^22, all exact.
inline constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The nearest double to a scanned number (shape `number`) when one IEEE
/// operation gives it: at most 19 significant digits making m <= 2^53 and a
/// decimal exponent e with |e| <= 22, for m x 10^e; zero with any exponent.
/// False, leaving `value` alone, for any other number.  Such a value is one
/// correctly rounded multiply or divide of two exact doubles.  Inline, so
/// that the scan's result never has to leave registers.
inline bool quick_real(const scanned_real& number, double& value) noexcept {
  if (number.count == 0) {
    value = number.negative ? -0.0 : 0.0;
    return true;
  }
  std::int64_t e10 = number.scale + number.exponent;
  if (number.count > mantissa_digits || number.mantissa > (std::uint64_t{1} << 53) || e10 < -22 ||
      e10 > 22) {
    return false;
  }
  auto m = static_cast<double>(number.mantissa);
  double magnitude = e10 < 0 ? m / exact_powers_of_ten[-e10] : m * exact_powers_of_ten[e10];
  value = number.negative ? -magnitude : magnitude;
  return true;
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_QUICK_REAL_H_
