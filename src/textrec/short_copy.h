#ifndef CDBBEM_TEXTREC_SHORT_COPY_H_
#define CDBBEM_TEXTREC_SHORT_COPY_H_

#include <cstddef>
#include <cstring>

namespace cdbbem {

// Fields and their padding are a few to a few dozen characters, written
// millions of times: moved in fixed-size pieces, which compile to single
// loads and stores, the last piece overlapping the one before, they cost
// a fraction of a library call.  Nothing outside the n characters is read
// or written.

/// Copies `n` characters from `src` to `dst`; the two do not overlap.
inline void copy_short(char* dst, const char* src, std::size_t n) noexcept {
  if (n >= 16) {
    for (std::size_t i = 0; i + 16 < n; i += 16) {
      std::memcpy(dst + i, src + i, 16);
    }
    std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else if (n > 0) {
    dst[0] = src[0];
    dst[n / 2] = src[n / 2];
    dst[n - 1] = src[n - 1];
  }
}

/// Sets `n` characters at `dst` to `c`.
inline void fill_short(char* dst, char c, std::size_t n) noexcept {
  if (n >= 16) {
    for (std::size_t i = 0; i + 16 < n; i += 16) {
      std::memset(dst + i, c, 16);
    }
    std::memset(dst + n - 16, c, 16);
  } else if (n >= 8) {
    std::memset(dst, c, 8);
    std::memset(dst + n - 8, c, 8);
  } else if (n >= 4) {
    std::memset(dst, c, 4);
    std::memset(dst + n - 4, c, 4);
  } else if (n > 0) {
    dst[0] = c;
    dst[n / 2] = c;
    dst[n - 1] = c;
  }
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_SHORT_COPY_H_
