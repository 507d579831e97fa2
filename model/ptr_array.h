// The growable array of element pointers behind the model's collections.
#ifndef KOVA_MODEL_PTR_ARRAY_H_
#define KOVA_MODEL_PTR_ARRAY_H_

#include <cstddef>
#include <new>
#include <utility>

namespace kova {

// Order-keeping array of T*. Capacity starts at 1 on the first append and doubles
// when full; an append that would need more than `max_capacity` slots, or whose
// reallocation fails, returns false and leaves the array as it was. Removal shifts
// the following elements down. The array never deletes the elements: the owning
// collection decides.
template <class T>
class PtrArray {
 public:
  static constexpr std::size_t kMaxCapacity = 0x1FFFFFFF;

  explicit PtrArray(std::size_t max_capacity = kMaxCapacity)
      : max_capacity_(max_capacity) {}
  ~PtrArray() { delete[] items_; }
  PtrArray(const PtrArray&) = delete;
  PtrArray& operator=(const PtrArray&) = delete;

  int count() const { return static_cast<int>(count_); }
  std::size_t capacity() const { return capacity_; }
  T* at(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < count_ ? items_[index]
                                                                  : nullptr;
  }

  [[nodiscard]] bool Append(T* item) {
    if (count_ == capacity_ && !Grow()) return false;
    items_[count_++] = item;
    return true;
  }

  // Index of the first element equal to `item`, or -1.
  int IndexOf(const T* item) const {
    for (std::size_t i = 0; i < count_; ++i) {
      if (items_[i] == item) return static_cast<int>(i);
    }
    return -1;
  }

  // Removes the element at `index`; the following ones move down by one.
  T* RemoveAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= count_) return nullptr;
    T* item = items_[index];
    for (std::size_t i = index; i + 1 < count_; ++i) items_[i] = items_[i + 1];
    --count_;
    return item;
  }

  // Drops every pointer and frees the storage; deletes the elements when asked.
  void Clear(bool delete_elements) {
    if (delete_elements) {
      for (std::size_t i = 0; i < count_; ++i) delete items_[i];
    }
    delete[] items_;
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
  }

  // Exchanges the contents (not the limits) with `other`.
  void SwapContents(PtrArray& other) {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  [[nodiscard]] bool Grow() {
    std::size_t wanted = capacity_ == 0 ? 1 : capacity_ * 2;
    if (wanted > max_capacity_) return false;
    T** grown = new (std::nothrow) T*[wanted];
    if (grown == nullptr) return false;
    for (std::size_t i = 0; i < count_; ++i) grown[i] = items_[i];
    delete[] items_;
    items_ = grown;
    capacity_ = wanted;
    return true;
  }

  T** items_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::size_t max_capacity_;
};

}  // namespace kova

#endif  // KOVA_MODEL_PTR_ARRAY_H_
