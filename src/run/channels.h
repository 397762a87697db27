#ifndef CDBBEM_RUN_CHANNELS_H_
#define CDBBEM_RUN_CHANNELS_H_

#include "textrec/failure.h"

namespace cdbbem {

/// The numbers of the run's channels, quoted by failure reports.
namespace channels {
inline constexpr channel archive{5};
inline constexpr channel model{6};
inline constexpr channel plot{8};
inline constexpr channel vtu{10};
}  // namespace channels

/// The files of a run, in the directory it works in.
inline constexpr const char* model_file_name = "input.dat";
inline constexpr const char* plot_file_name = "input.plt";
inline constexpr const char* vtu_file_name = "input.vtu";
/// input.vtu is written under this name beside it, then renamed.
inline constexpr const char* vtu_temporary_name = "input.vtu.tmp";

}  // namespace cdbbem

#endif  // CDBBEM_RUN_CHANNELS_H_
