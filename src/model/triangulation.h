#ifndef CDBBEM_MODEL_TRIANGULATION_H_
#define CDBBEM_MODEL_TRIANGULATION_H_

#include <cstdint>

namespace cdbbem {

struct model;

/// Makes boundary element `e` with corners I, J, K, L (nodes 1..N, checked
/// by the caller) into triangles after the T made so far: one (I, J, K)
/// when K = L, otherwise two, split along the shorter diagonal (J-L on a
/// tie).  Sets `triangle_nodes`, `element_triangles` and T.
void triangulate_element(model& m, std::int64_t e, const std::int32_t corners[4]);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_TRIANGULATION_H_
