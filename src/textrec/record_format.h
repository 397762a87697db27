#ifndef CDBBEM_TEXTREC_RECORD_FORMAT_H_
#define CDBBEM_TEXTREC_RECORD_FORMAT_H_

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

/// The program's record formats.  Names give the layout they stand for.
namespace formats {

using k = descriptor_kind;

// input.plt
inline constexpr edit_descriptor i4_15[] = {{k::integer, 4, 15}};
inline constexpr edit_descriptor i3_15[] = {{k::integer, 3, 15}};
inline constexpr edit_descriptor e3_15_7[] = {{k::real_e, 3, 15, 7}};

// input.dat
inline constexpr edit_descriptor field_point_line[] = {{k::integer, 1, 10}, {k::real_d, 3, 24, 9}};
inline constexpr edit_descriptor element_line[] = {
    {k::integer, 1, 10}, {k::skip, 1, 3}, {k::integer, 3, 8},    {k::skip, 1, 5},
    {k::integer, 1, 5},  {k::skip, 1, 5}, {k::real_d, 1, 24, 15}};
inline constexpr edit_descriptor node_line[] = {{k::integer, 1, 8}, {k::real_d, 3, 24, 15}};
inline constexpr edit_descriptor constants_line[] = {
    {k::literal, 1, 0, 0,
     "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)"}};
inline constexpr edit_descriptor counts_line[] = {
    {k::integer, 4, 8},
    {k::literal, 1, 0, 0, "  ! No. of Boundary Elements, Nodes, Field Points and Cells"}};
inline constexpr edit_descriptor title_line[] = {
    {k::literal, 1, 0, 0, " A BEM Model for 3-D Potential Analysis,"},
    {k::skip, 1, 16},
    {k::text, 1, 9}};

// The archive's node records, one format per node layout.
inline constexpr edit_descriptor node_record_3i9_3e21[] = {{k::integer, 3, 9},
                                                           {k::real_e, 3, 21, 13}};
inline constexpr edit_descriptor node_record_3i9_3e20[] = {{k::integer, 3, 9},
                                                           {k::real_e, 3, 20, 13}};
inline constexpr edit_descriptor node_record_3i8_3e20[] = {{k::integer, 3, 8},
                                                           {k::real_e, 3, 20, 13}};
inline constexpr edit_descriptor node_record_3i8_3e16[] = {{k::integer, 3, 8},
                                                           {k::real_e, 3, 16, 9}};

// The archive's keyword and command records.
inline constexpr edit_descriptor count_record[] = {{k::text, 1, 12}, {k::integer, 1, 9}};
inline constexpr edit_descriptor a5[] = {{k::text, 1, 5}};
inline constexpr edit_descriptor a6[] = {{k::text, 1, 6}};
inline constexpr edit_descriptor a7[] = {{k::text, 1, 7}};
inline constexpr edit_descriptor a13[] = {{k::text, 1, 13}};
inline constexpr edit_descriptor a18[] = {{k::text, 1, 18}};
inline constexpr edit_descriptor a19[] = {{k::text, 1, 19}};
inline constexpr edit_descriptor command_scan[] = {
    {k::text, 1, 4}, {k::text, 1, 15}, {k::text, 1, 4}};
inline constexpr edit_descriptor potential_record[] = {
    {k::text, 1, 2}, {k::text, 1, 7}, {k::text, 1, 6}, {k::text, 1, 16}};
inline constexpr edit_descriptor skip_two[] = {{k::slash}};
inline constexpr edit_descriptor flux_header_a8[] = {{k::text, 1, 4}, {k::text, 1, 8}};
inline constexpr edit_descriptor flux_header_a9[] = {{k::text, 1, 4}, {k::text, 1, 9}};

}  // namespace formats

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_RECORD_FORMAT_H_
