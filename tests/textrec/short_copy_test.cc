#include "textrec/short_copy.h"

#include <gtest/gtest.h>

#include <string>

namespace cdbbem {
namespace {

// Every length from none to several pieces: exactly the n characters are
// written, whatever the alignment, and nothing around them.
TEST(short_copy_test, writes_exactly_n_characters) {
  std::string source;
  for (int i = 0; i < 100; ++i) {
    source += static_cast<char>('A' + i % 26);
  }
  for (std::size_t offset = 0; offset < 3; ++offset) {
    for (std::size_t n = 0; n <= 90; ++n) {
      std::string copied(100, '.');
      copy_short(copied.data() + 4 + offset, source.data() + offset, n);
      std::string filled(100, '.');
      fill_short(filled.data() + 4 + offset, ' ', n);
      std::string around = std::string(4 + offset, '.');
      std::string after(100 - 4 - offset - n, '.');
      EXPECT_EQ(copied, around + source.substr(offset, n) + after) << n << " " << offset;
      EXPECT_EQ(filled, around + std::string(n, ' ') + after) << n << " " << offset;
    }
  }
}

}  // namespace
}  // namespace cdbbem
