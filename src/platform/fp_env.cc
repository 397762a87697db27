#include "platform/fp_env.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace cdbbem {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// MXCSR bit 15 is flush-to-zero, bit 6 denormals-are-zero.
constexpr std::uint64_t flush_bits = 0x8040;
std::uint64_t read_control() noexcept { return _mm_getcsr(); }
void write_control(std::uint64_t value) noexcept { _mm_setcsr(static_cast<unsigned>(value)); }
#elif defined(__aarch64__)
// FPCR bit 24 (FZ) flushes denormal operands and results alike.
constexpr std::uint64_t flush_bits = std::uint64_t{1} << 24;
std::uint64_t read_control() noexcept {
  std::uint64_t value;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(value));
  return value;
}
void write_control(std::uint64_t value) noexcept {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(value));
}
#else
constexpr std::uint64_t flush_bits = 0;
std::uint64_t read_control() noexcept { return 0; }
void write_control(std::uint64_t) noexcept {}
#endif

}  // namespace

void flush_denormals() noexcept { write_control(read_control() | flush_bits); }

bool denormals_flushed() noexcept {
  return flush_bits != 0 && (read_control() & flush_bits) == flush_bits;
}

exact_denormals_scope::exact_denormals_scope() noexcept : saved_(read_control()) {
  if ((saved_ & flush_bits) != 0) {
    write_control(saved_ & ~flush_bits);
  }
}

exact_denormals_scope::~exact_denormals_scope() {
  if ((saved_ & flush_bits) != 0) {
    write_control(saved_);
  }
}

flushed_denormals_scope::flushed_denormals_scope() noexcept : saved_(read_control()) {
  flush_denormals();
}

flushed_denormals_scope::~flushed_denormals_scope() { write_control(saved_); }

}  // namespace cdbbem
