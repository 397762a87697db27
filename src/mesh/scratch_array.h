#ifndef CDBBEM_MESH_SCRATCH_ARRAY_H_
#define CDBBEM_MESH_SCRATCH_ARRAY_H_

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include "model/model.h"

namespace cdbbem {

/// A zero-filled array of a trivial type for the analysis.  Large arrays
/// come zeroed from the system without a pass over them (unlike a vector's
/// value-initialisation).  No huge pages are asked for: assembling them can
/// stall a fault for longer than the analysis takes.  Raises std::bad_alloc
/// when the system refuses the memory.
template <typename T>
class scratch_array {
 public:
  scratch_array() = default;
  explicit scratch_array(std::size_t size) : size_(size) {
    data_.reset(static_cast<T*>(std::calloc(size > 0 ? size : 1, sizeof(T))));
    if (data_ == nullptr) {
      throw std::bad_alloc();
    }
  }

  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + size_; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + size_; }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<T[], free_deleter> data_;
  std::size_t size_ = 0;
};

}  // namespace cdbbem

#endif  // CDBBEM_MESH_SCRATCH_ARRAY_H_
