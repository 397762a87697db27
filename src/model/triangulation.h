#ifndef CDBBEM_MODEL_TRIANGULATION_H_
#define CDBBEM_MODEL_TRIANGULATION_H_

#include <cstdint>

namespace cdbbem {

struct model;
struct model_store;

/// The one place that adds triangles to a model: elements come in the
/// order of their positions, each with the triangles it gives after the T
/// made so far.  Sets each element's range of triangles and each
/// triangle's element label and face; `finish` sets T in the counts.
class triangle_builder {
 public:
  explicit triangle_builder(model& m);

  /// Starts element position `position` (after the last begun) with
  /// archive label `label`; the caller sets the first triangle of any
  /// position passed over.
  void begin_element(std::int64_t position, std::int32_t label);

  /// Adds triangle (a, b, c) of face `face` of the element begun last.
  void add(std::int32_t a, std::int32_t b, std::int32_t c, std::uint8_t face = 0);

  /// Ends the range of the last element and sets T.
  void finish();

  /// Triangles added so far.
  std::int32_t count() const { return count_; }

  /// The store the triangles go to (the node coordinates for the diagonals).
  const model_store& store() const { return store_; }

 private:
  model& model_;
  model_store& store_;
  std::int64_t position_ = 0;
  std::int32_t label_ = 0;
  std::int32_t count_ = 0;
};

/// Adds quadrilateral I, J, K, L (node positions) as two triangles of face
/// `face`, split along the shorter diagonal: (I, J, L), (J, K, L) when
/// |JL| <= |IK|, else (I, J, K), (I, K, L).
void split_quadrilateral(triangle_builder& triangles, const std::int32_t corners[4],
                         std::uint8_t face);

/// Makes an element with corners I, J, K, L (node positions, checked by
/// the caller) into triangles: one (I, J, K) when K = L, otherwise two,
/// split along the shorter diagonal (J-L on a tie).
void triangulate_element(triangle_builder& triangles, const std::int32_t corners[4]);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_TRIANGULATION_H_
