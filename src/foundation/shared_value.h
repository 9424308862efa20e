// A value one thread writes while another reads it, kept in a record that
// is copied whole like its plain values (the settings): an atomic with the
// copy and the plain reads and assignments of the value it stands for.
#pragma once

#include <atomic>

namespace vestan {

template <typename T>
class SharedValue {
 public:
  constexpr SharedValue(T value = T{}) : value_(value) {}
  SharedValue(const SharedValue& other) : value_(other.load()) {}
  SharedValue& operator=(const SharedValue& other) {
    value_.store(other.load());
    return *this;
  }
  SharedValue& operator=(T value) {
    value_.store(value);
    return *this;
  }
  operator T() const { return value_.load(); }
  T load() const { return value_.load(); }

 private:
  std::atomic<T> value_;
};

}  // namespace vestan
