#include "platform/process.h"

namespace cdbbem {

std::vector<std::string> program_arguments(int argc, char** argv) {
  if (argc < 2) {
    return {};
  }
  return {argv + 1, argv + argc};
}

}  // namespace cdbbem
