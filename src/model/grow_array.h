#ifndef CDBBEM_MODEL_GROW_ARRAY_H_
#define CDBBEM_MODEL_GROW_ARRAY_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace cdbbem {

/// An array of trivially copyable values that grows at its end through
/// std::realloc, so that a large one grows in place rather than through a
/// copy beside it, and whose memory a store array can take over (both
/// release it with std::free).
template <typename T>
class grow_array {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  grow_array() = default;
  grow_array(const grow_array&) = delete;
  grow_array& operator=(const grow_array&) = delete;
  grow_array(grow_array&& other) noexcept { swap(other); }
  grow_array& operator=(grow_array&& other) noexcept {
    grow_array gone(std::move(other));
    swap(gone);
    return *this;
  }
  ~grow_array() { std::free(data_); }

  void push_back(const T& value) {
    if (size_ == capacity_) {
      reserve(capacity_ == 0 ? 1024 : 2 * capacity_);
    }
    data_[size_++] = value;
  }
  /// Room for `count` values; raises std::bad_alloc when the system refuses.
  void reserve(std::size_t count) {
    if (count <= capacity_) {
      return;
    }
    void* grown = std::realloc(data_, count * sizeof(T));
    if (grown == nullptr) {
      throw std::bad_alloc();
    }
    data_ = static_cast<T*>(grown);
    capacity_ = count;
  }
  /// Appends `count` values from `values` (not this array's own).
  void append(const T* values, std::size_t count) {
    if (count == 0) {
      return;
    }
    reserve(size_ + count);
    std::memcpy(static_cast<void*>(data_ + size_), values, count * sizeof(T));
    size_ += count;
  }
  /// Makes room for `count` more values at the end, which the caller
  /// writes, and returns where they begin.
  T* grow_by(std::size_t count) {
    reserve(size_ + count);
    T* added = data_ + size_;
    size_ += count;
    return added;
  }
  /// Keeps the first `count` values.
  void shrink_to(std::size_t count) { size_ = count < size_ ? count : size_; }
  /// `count` values of all bits zero in place of the present ones; raises
  /// std::bad_alloc when the system refuses.  The zeros are written here,
  /// not left to fresh pages: a fresh page that is read before it is
  /// written maps the system's shared page of zeros, and the first write
  /// then replaces that mapping on every processor that runs this program,
  /// stopping the other thread each time.
  void assign_zeros(std::size_t count) {
    void* zeros =
        count <= SIZE_MAX / sizeof(T) ? std::malloc((count > 0 ? count : 1) * sizeof(T)) : nullptr;
    if (zeros == nullptr) {
      throw std::bad_alloc();
    }
    std::memset(zeros, 0, count * sizeof(T));
    std::free(data_);
    data_ = static_cast<T*>(zeros);
    size_ = capacity_ = count;
  }
  /// Gives up the memory, which the caller frees with std::free.
  T* release() {
    T* data = data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return data;
  }
  void swap(grow_array& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& back() { return data_[size_ - 1]; }
  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_GROW_ARRAY_H_
