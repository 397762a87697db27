#ifndef CDBBEM_MODEL_CONDITIONS_H_
#define CDBBEM_MODEL_CONDITIONS_H_

#include <cstdint>

namespace cdbbem {

struct model;
struct model_store;

/// Every triangle a flux triangle with value 0.0, every node without a
/// prescribed potential, over the arrays' whole extents, in a store just
/// allocated: the values that are zeros are already there.
void set_default_conditions(model_store& store);

/// Counts each triangle's nodes with a prescribed potential; a triangle
/// whose three nodes all have one becomes a potential triangle carrying
/// their mean, ((p1 + p2) + p3) / 3.
void classify_triangles(model& m);

/// Gives every triangle of element position `position` (1..E, read) the
/// flux `q`, and notes that a flux record set them.
void set_element_flux(model& m, std::int64_t position, double q);

/// The same for the triangles of face `face` of that element only;
/// returns how many there are.
std::int32_t set_face_flux(model& m, std::int64_t position, int face, double q);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_CONDITIONS_H_
