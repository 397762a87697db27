#ifndef CDBBEM_MODEL_VOLUME_H_
#define CDBBEM_MODEL_VOLUME_H_

#include <cstdint>
#include <memory>

namespace cdbbem {

struct model;
enum class solid_shape : std::uint8_t;

/// Signed volumes of solid elements by the divergence theorem: the sum of
/// dot(a, cross(b, c)) / 6 over the triangles of their faces, each face
/// made into triangles by the face rule as the skin's faces are, so that
/// for a conforming mesh of outward elements the elements' volumes add up
/// to the volume their skin encloses.  Positive for an element whose faces
/// face outward.
class solid_volumes {
 public:
  /// Over the coordinates `xyz` of node positions from 1: node p's x, y, z
  /// at xyz[3 * (p - 1)].
  explicit solid_volumes(const double* xyz);
  ~solid_volumes();
  solid_volumes(const solid_volumes&) = delete;
  solid_volumes& operator=(const solid_volumes&) = delete;

  /// The volume of a solid of shape `s` with node fields `fields[0]` to
  /// `fields[field_count - 1]` (positions; fields not written and fields
  /// of 0 are absent).
  double of(const std::int32_t* fields, int field_count, solid_shape s);

 private:
  const double* xyz_;
  std::unique_ptr<model> scratch_;  // the element's own nodes and triangles
};

/// The volume that triangles 1 to T of `m` enclose, positive when they
/// face outward: the sum of dot(a, cross(b, c)) / 6, taken about the first
/// corner of the first triangle.
double enclosed_volume(const model& m);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_VOLUME_H_
