#ifndef CDBBEM_PLATFORM_FP_ENV_H_
#define CDBBEM_PLATFORM_FP_ENV_H_

#include <cstdint>

namespace cdbbem {

/// Makes arithmetic flush denormal results to zero and take denormal operands
/// as zero, for the rest of the process (MXCSR on x86-64, FPCR on AArch64).
void flush_denormals() noexcept;

/// True when the floating-point unit currently flushes denormals.
bool denormals_flushed() noexcept;

/// While alive, denormals are handled exactly again; the previous state is
/// restored on exit.  Number conversions of subnormal values run inside one,
/// since some library conversions compare with zero in floating point.
class exact_denormals_scope {
 public:
  exact_denormals_scope() noexcept;
  ~exact_denormals_scope();
  exact_denormals_scope(const exact_denormals_scope&) = delete;
  exact_denormals_scope& operator=(const exact_denormals_scope&) = delete;

 private:
  std::uint64_t saved_;
};

/// While alive, denormals are flushed; the previous state is restored on
/// exit, so that a translation run inside a test leaves its process as it was.
class flushed_denormals_scope {
 public:
  flushed_denormals_scope() noexcept;
  ~flushed_denormals_scope();
  flushed_denormals_scope(const flushed_denormals_scope&) = delete;
  flushed_denormals_scope& operator=(const flushed_denormals_scope&) = delete;

 private:
  std::uint64_t saved_;
};

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_FP_ENV_H_
