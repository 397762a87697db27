#include <algorithm>
#include <cstdint>

#include "model/model.h"

namespace cdbbem {

void element_lookup::seal() {
  // Stable, so that of two entries for one label the later stays after the
  // earlier; `find` takes the last.
  std::stable_sort(sparse.begin(), sparse.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::int32_t element_lookup::find(std::int32_t label) const {
  if (label >= 1 && label <= dense.extent) {
    return dense[label];
  }
  auto after = std::upper_bound(sparse.begin(), sparse.end(), label,
                                [](std::int32_t l, const auto& entry) { return l < entry.first; });
  if (after == sparse.begin() || (after - 1)->first != label) {
    return 0;
  }
  return (after - 1)->second;
}

}  // namespace cdbbem
