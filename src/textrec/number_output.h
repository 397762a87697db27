#ifndef CDBBEM_TEXTREC_NUMBER_OUTPUT_H_
#define CDBBEM_TEXTREC_NUMBER_OUTPUT_H_

#include <cstdint>

namespace cdbbem {

/// Writes `value` as an Iw field into exactly `width` characters at `dst`:
/// right-justified digits, "-" for negative values.  A value that does not
/// fit gives `width` asterisks and false.
bool format_integer(char* dst, int width, std::int32_t value) noexcept;

/// Writes `value` as an Ew.d (letter 'E') or Dw.d (letter 'D') field into
/// exactly `width` characters at `dst`: 0.x1..xd with the digits correctly
/// rounded (ties to even), exponent part letter/sign/two digits, or
/// sign/three digits from 100 on.  Negative zero is written as zero.  A
/// value that does not fit gives `width` asterisks and false.
bool format_exponent(char* dst, int width, int digits, char letter, double value) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_NUMBER_OUTPUT_H_
