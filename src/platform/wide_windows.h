#ifndef CDBBEM_PLATFORM_WIDE_WINDOWS_H_
#define CDBBEM_PLATFORM_WIDE_WINDOWS_H_

#include <string>
#include <string_view>

namespace cdbbem {

/// UTF-8 text as the UTF-16 the wide Windows functions take; invalid
/// sequences become U+FFFD.
std::wstring to_wide(std::string_view utf8);

/// UTF-16 text from a wide Windows function as UTF-8; unpaired surrogates
/// become U+FFFD.
std::string to_utf8(std::wstring_view wide);

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_WIDE_WINDOWS_H_
