#ifndef CDBBEM_TEXTREC_QUICK_REAL_H_
#define CDBBEM_TEXTREC_QUICK_REAL_H_

#include <string_view>

namespace cdbbem {

/// Reads the usual shape of a real number in one pass: an optional sign, at
/// most 19 significant digits with at most one decimal point, then an
/// optional exponent (E or D, or a sign directly after the digits) of at
/// most four digits; blanks anywhere are dropped when `blanks_dropped`.
/// Without a point the rightmost `implied_digits` digits are the fraction.
/// Gives the nearest double when the value is m x 10^e with m <= 2^53 and
/// |e| <= 22; false, leaving `value` alone, for any other text.
bool quick_real(std::string_view text, bool blanks_dropped, int implied_digits,
                double& value) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_QUICK_REAL_H_
