#ifndef CDBBEM_PLATFORM_PROCESS_H_
#define CDBBEM_PLATFORM_PROCESS_H_

#include <string>
#include <vector>

namespace cdbbem {

/// The arguments the program was started with, its own name left out, as
/// UTF-8 text.  `argc` and `argv` are those `main` received; a system whose
/// narrow arguments cannot hold every name takes them from the system
/// instead.
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_PROCESS_H_
