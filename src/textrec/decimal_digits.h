#ifndef CDBBEM_TEXTREC_DECIMAL_DIGITS_H_
#define CDBBEM_TEXTREC_DECIMAL_DIGITS_H_

namespace cdbbem {

/// The `digits` (1 to 17) leading significant decimal digits of `magnitude`
/// (finite, greater than zero, subnormals included), correctly rounded with
/// ties to even, as characters into `out`, which has room for 17 characters
/// (those after the digits are left unspecified).  Returns the exponent e with
/// magnitude = 0.d1d2...dn x 10^e after rounding (0.999..95 becomes 0.1E+1).
int significant_digits(double magnitude, int digits, char* out) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_DECIMAL_DIGITS_H_
