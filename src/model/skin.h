#ifndef CDBBEM_MODEL_SKIN_H_
#define CDBBEM_MODEL_SKIN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cdbbem {

enum class solid_shape : std::uint8_t;

/// One value of each element in the caller's own array: element k's lies
/// `k * stride` bytes after `first`, so that a member of an array of
/// records serves as well as a plain array.
template <typename T>
struct element_column {
  const T* first = nullptr;
  std::ptrdiff_t stride = sizeof(T);

  T operator[](std::int64_t k) const {
    return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(first) + k * stride);
  }
};

/// The elements a skin is taken of, as the caller holds them: element k
/// (0-based) has its node fields (labels or positions) at `nodes +
/// first_node[k]`, or at `nodes + k * nodes_each` when `first_node` is
/// unset; `node_count[k]` of them are written (unset: `nodes_each`), the
/// rest are absent.  `shape` must be given; elements of shape `none` are
/// passed over.  Corners of 0 (fields not written) count as a node.
struct solid_elements {
  std::int64_t count = 0;
  const std::int32_t* nodes = nullptr;
  element_column<std::uint32_t> first_node;
  element_column<std::int32_t> node_count;
  element_column<solid_shape> shape;
  std::int32_t nodes_each = 0;
};

/// A face of an element: its index among the elements and its number.
struct skin_face {
  std::uint32_t element = 0;
  std::uint8_t face = 0;
};

/// The skin of a set of solid elements.
struct solid_skin {
  /// The faces no other element has, by element, then by face number.
  std::vector<skin_face> faces;
  /// Faces (sets of corners) that three or more elements have.
  std::int64_t shared_by_more = 0;
  /// Of those, the face of the lowest element index, then face number.
  skin_face first_shared;
};

/// The most elements `find_skin` takes.
inline constexpr std::int64_t skin_element_limit = (std::int64_t{1} << 29) - 1;

/// The skin of `solids`: each face with area (3 or more distinct corners)
/// that no other element has a face of the same corner set.  Works on up
/// to `threads` threads (1 or 2 count; the result is the same).  With
/// `part_bytes` 0, each face is listed under its lowest corner when the
/// corner labels of each half of the elements span at most about twice
/// that half's elements (20 bytes a corner set, 4 a label); otherwise, or
/// with `part_bytes` set, the faces are matched through buckets in parts of
/// about `part_bytes` (20 bytes a face; 0: half of them, or all when they
/// take at most 2 MiB), each part reading the elements once more.  Raises
/// 179 for more than `skin_element_limit` elements.
solid_skin find_skin(const solid_elements& solids, int threads, std::uint64_t part_bytes = 0);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_SKIN_H_
