#include "model/element_class.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace cdbbem::testing {
namespace {

// A few numbers of each class, the eight-node shells, every type 200
// shape and the shapes beyond them; the shape counts only for type 200.
TEST(element_class_test, types_give_class_and_node_count) {
  using enum element_class;
  struct row {
    std::int32_t type, shape;
    element_class kind;
    int nodes;
  };
  const row rows[] = {
      {63, 0, shell, 4},           {181, 7, shell, 4},        {28, 0, shell, 4},
      {281, 0, shell, 8},          {93, 0, shell, 8},         {150, 0, shell, 8},
      {200, 0, other, 2},          {200, 1, other, 3},        {200, 2, other, 2},
      {200, 3, other, 3},          {200, 4, mesh_surface, 3}, {200, 5, mesh_surface, 6},
      {200, 6, mesh_surface, 4},   {200, 7, mesh_surface, 8}, {200, 8, mesh_volume, 4},
      {200, 9, mesh_volume, 10},   {200, 10, mesh_volume, 8}, {200, 11, mesh_volume, 20},
      {200, 12, other, 0},         {200, -1, other, 0},       {154, 0, surface_effect, 0},
      {252, 0, surface_effect, 0}, {182, 0, planar, 0},       {13, 0, planar, 0},
      {5, 0, brick8, 8},           {185, 4, brick8, 8},       {278, 0, brick8, 8},
      {186, 0, brick20, 20},       {279, 0, brick20, 20},     {187, 0, tet10, 10},
      {92, 0, tet10, 10},          {285, 0, tet4, 4},         {188, 0, other, 0},
      {180, 0, other, 0},          {0, 0, other, 0},          {-63, 0, other, 0},
  };
  for (const row& r : rows) {
    EXPECT_EQ(classify_element_type(r.type, r.shape), r.kind) << r.type << "/" << r.shape;
    EXPECT_EQ(element_node_count(r.type, r.shape), r.nodes) << r.type << "/" << r.shape;
  }
}

}  // namespace
}  // namespace cdbbem::testing
