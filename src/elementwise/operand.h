// An operand of a broadcast form: an array, or a scalar seen as an array
// whose every element is the same. Kernels are written once over these.
#ifndef ZELVAN_ELEMENTWISE_OPERAND_H_
#define ZELVAN_ELEMENTWISE_OPERAND_H_

#include <cstddef>
#include <type_traits>

namespace zelvan {

template <class T>
struct ArrayOperand {
  const T* data;
  T operator[](size_t i) const { return data[i]; }
};

template <class T>
struct ScalarOperand {
  T value;
  T operator[](size_t /*i*/) const { return value; }
};

template <class T>
ArrayOperand<T> Operand(const T* p) {
  return {p};
}
template <class T>
ScalarOperand<T> Operand(T v) {
  return {v};
}

// An operand of an entry point is null only if it is a pointer.
template <class T>
bool IsNull(T operand) {
  if constexpr (std::is_pointer_v<T>) {
    return operand == nullptr;
  } else {
    return false;
  }
}

}  // namespace zelvan

#endif  // ZELVAN_ELEMENTWISE_OPERAND_H_
