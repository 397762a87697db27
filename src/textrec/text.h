#ifndef CDBBEM_TEXTREC_TEXT_H_
#define CDBBEM_TEXTREC_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cdbbem {

/// Blank-padded equality: the shorter string is taken as padded with blanks.
bool text_equal(const char* a, std::size_t len_a, const char* b, std::size_t len_b) noexcept;

/// Blank-padded equality of a text buffer with a literal.
inline bool text_equal(std::string_view a, std::string_view b) noexcept {
  return text_equal(a.data(), a.size(), b.data(), b.size());
}

/// Whether the first `width` columns of `record`, read as text (blanks
/// past its end), are `text`, blank-padded: what reading them into a line
/// buffer and comparing it with `text` gives.
inline bool columns_equal(std::string_view record, std::size_t width,
                          std::string_view text) noexcept {
  return text_equal(record.substr(0, width), text);
}

/// Converts a text field to an integer: trailing blanks dropped, empty is
/// 0, otherwise read as an integer field.  Raises report 545 when the text
/// is not an integer.
std::int32_t text_to_int(const char* text, std::size_t len);

/// Converts a text field to a double: blanks around the number dropped,
/// blanks inside it read as zeros, a number without decimal point is whole,
/// empty is 0.0.  Raises report 547 when the text is not a real number.
double text_to_double(const char* text, std::size_t len);

/// Fills `dest` (of `len` characters) with today's local date as DD-MON-YY,
/// blank-padded or cut to `len`.
void date_stamp(char* dest, std::size_t len);

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_TEXT_H_
