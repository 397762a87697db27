#ifndef CDBBEM_TEXTREC_RECORD_FORMAT_H_
#define CDBBEM_TEXTREC_RECORD_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace cdbbem {

/// Kinds of edit descriptor: Iw, Aw, Ew.d, Dw.d, nX, "/" and a literal.
enum class descriptor_kind : std::uint8_t { integer, text, real_e, real_d, skip, slash, literal };

/// One entry of a record format; `repeat` copies of it stand in a row.
struct edit_descriptor {
  descriptor_kind kind;
  int repeat = 1;
  int width = 0;   ///< field width, or the columns moved by nX
  int digits = 0;  ///< digits after the decimal point for E and D
  std::string_view literal = {};
};

/// A constant list of edit descriptors.
using record_format = std::span<const edit_descriptor>;

/// Characters of every record `format` writes when each value fits its
/// field (before the CR LF the channel adds); 0 when the format spans
/// records.
constexpr std::size_t fixed_record_length(record_format format) {
  std::size_t length = 0;
  for (const edit_descriptor& d : format) {
    if (d.kind == descriptor_kind::slash) {
      return 0;
    }
    const std::size_t one =
        d.kind == descriptor_kind::literal ? d.literal.size() : static_cast<std::size_t>(d.width);
    length += one * static_cast<std::size_t>(d.repeat);
  }
  return length;
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_RECORD_FORMAT_H_
