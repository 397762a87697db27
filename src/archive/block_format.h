#ifndef CDBBEM_ARCHIVE_BLOCK_FORMAT_H_
#define CDBBEM_ARCHIVE_BLOCK_FORMAT_H_

#include <cstdint>
#include <string_view>

namespace cdbbem {

/// What a field of a block's records holds.
enum class field_kind : std::uint8_t { integer, real, text, skip };

/// One field of a block record: its first column (0-based), width and,
/// for a real, the digits after the decimal point.
struct block_field {
  field_kind kind = field_kind::integer;
  std::int32_t start = 0;
  std::int32_t width = 0;
  std::int32_t decimals = 0;
};

/// The fields of a block's format record, such as "(3i9,6e21.13e3)",
/// "(19i10)" or "(i9,i4,i4,6(pg20.9))", in the order they stand.
struct block_format {
  static constexpr int max_fields = 64;
  block_field fields[max_fields];
  int count = 0;
  /// The width of every field when all are one width and stand back to
  /// back from the first column, else 0.
  std::int32_t even_width = 0;

  /// The `k`-th field (0-based) of kind `kind`, or null.
  const block_field* nth(field_kind kind, int k) const noexcept;
  /// Fields of kind `kind`.
  int count_of(field_kind kind) const noexcept;
};

/// Reads a format record: edit descriptors Iw, Ew.d[Ee], Dw.d, Fw.d,
/// Gw.d, Aw and nX, with repeat counts, scale factors (1P) and one level
/// of parenthesised groups, in any case.  False for any other text, a
/// field of no width, or more fields than a block format keeps.
bool parse_block_format(std::string_view text, block_format& format) noexcept;

/// The text of `field` in `record`, cut short where the record ends.
inline std::string_view field_text(std::string_view record, const block_field& field) noexcept {
  const auto start = static_cast<std::size_t>(field.start);
  if (start >= record.size()) {
    return {};
  }
  return record.substr(start, static_cast<std::size_t>(field.width));
}

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_BLOCK_FORMAT_H_
