// A value one thread sets while another reads it (a menu switch or a step
// count the run reads move by move): every access is atomic, yet the records
// that hold it (the settings) stay copyable, a copy taking the value of the
// moment.
#pragma once

#include <atomic>

namespace vestan {

template <typename T>
class SharedValue {
 public:
  constexpr SharedValue(T value = T{}) noexcept : value_(value) {}  // NOLINT: reads as the plain value
  SharedValue(const SharedValue& other) noexcept : value_(other.load()) {}
  SharedValue& operator=(const SharedValue& other) noexcept {
    store(other.load());
    return *this;
  }
  SharedValue& operator=(T value) noexcept {
    store(value);
    return *this;
  }
  operator T() const noexcept { return load(); }  // NOLINT: reads as the plain value
  T load() const noexcept { return value_.load(); }
  void store(T value) noexcept { value_.store(value); }

 private:
  std::atomic<T> value_;
};

}  // namespace vestan
