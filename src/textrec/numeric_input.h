#ifndef CDBBEM_TEXTREC_NUMERIC_INPUT_H_
#define CDBBEM_TEXTREC_NUMERIC_INPUT_H_

#include <cstdint>
#include <string_view>

#include "textrec/int_field.h"

namespace cdbbem {

struct scanned_real;

/// How the text of a real number is laid out.
enum class real_syntax {
  fixed_field,  ///< Ew.d input field: blanks ignored, E or D exponent letters
  text_field,   ///< text converted after reading: inner blanks are zeros
  free_form,    ///< free-form value: no blanks, E, D or Q exponent letters
};

/// Reads an Iw input field: leading blanks skipped, one optional sign, then
/// digits with any blanks among or after them ignored; all blank (or a lone
/// sign) is 0.  False for any other character or a value outside 32 bits.
inline bool parse_int_field(std::string_view field, std::int32_t& value) noexcept {
  return read_int_field(field, value);
}

/// Reads the first `count` fields of `record`, Iw fields all `width` wide
/// from its first column, as `parse_int_field` reads each, into `values`:
/// those that start within it, the last perhaps cut short where it ends.
/// Returns how many it read, or -1 when one of them is not an Iw field.
int parse_int_fields(std::string_view record, int width, int count, std::int32_t* values) noexcept;

/// Reads a decimal integer with an optional sign and nothing else, as a
/// free-form value without decimal point or exponent.
bool parse_plain_int(std::string_view text, std::int32_t& value) noexcept;

/// Reads a real number: optional sign, digits with at most one decimal point,
/// optional exponent (letter plus optionally signed integer, or a sign
/// directly after the digits); or Inf, Infinity, NaN in any case.  Without
/// a decimal point the rightmost `implied_digits` digits are the fraction.
/// The result is the nearest double.  False for any other text.
bool parse_real(std::string_view text, real_syntax syntax, int implied_digits,
                double& value) noexcept;

/// The nearest double to a scanned number (shape `number`) of the given
/// syntax: infinity past the largest double, zero below the smallest.
double real_value(const scanned_real& number, real_syntax syntax) noexcept;

/// The integer of a scanned number (shape `number`) that has no point and
/// no exponent; false when it has either or lies outside 32 bits.
bool int_value(const scanned_real& number, std::int32_t& value) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_NUMERIC_INPUT_H_
