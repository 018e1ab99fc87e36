#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "DllError.h"

namespace quillmere {

// The system's array: undimensioned, or one or two dimensions, each with its own lower bound.
// Most lists are 1-based; a few are 0-based with an empty element 0. Element access out of the
// bounds raises the runtime's "subscript out of range" error, as the Windows build would.
template <typename T>
class Array {
 public:
  Array() = default;

  // A one-dimensional array lower..upper (upper < lower gives an undimensioned array).
  static Array withBounds(std::int32_t lower, std::int32_t upper) {
    Array a;
    a.redim(lower, upper);
    return a;
  }

  // A 1-based list holding the given values.
  static Array fromList(std::vector<T> values) {
    Array a;
    if (values.empty()) return a;
    a.m_dims = 1;
    a.m_lower[0] = 1;
    a.m_count[0] = static_cast<std::int32_t>(values.size());
    a.m_data = std::move(values);
    return a;
  }

  int dims() const { return m_dims; }
  bool isDimensioned() const { return m_dims > 0; }

  std::int32_t lbound(int dim = 1) const {
    checkDim(dim);
    return m_lower[dim - 1];
  }
  std::int32_t ubound(int dim = 1) const {
    checkDim(dim);
    return m_lower[dim - 1] + m_count[dim - 1] - 1;
  }
  // Number of elements in one dimension (0 when the dimension does not exist).
  std::int32_t count(int dim = 1) const {
    return (dim >= 1 && dim <= m_dims) ? m_count[dim - 1] : 0;
  }

  T& operator()(std::int32_t i) { return m_data[index1(i)]; }
  const T& operator()(std::int32_t i) const { return m_data[index1(i)]; }
  T& operator()(std::int32_t row, std::int32_t col) { return m_data[index2(row, col)]; }
  const T& operator()(std::int32_t row, std::int32_t col) const { return m_data[index2(row, col)]; }

  // ReDim: new bounds, contents cleared.
  void redim(std::int32_t lower, std::int32_t upper) {
    m_data.clear();
    setShape1(lower, upper);
    m_data.assign(static_cast<std::size_t>(m_count[0]), T{});
  }
  void redim(std::int32_t lower1, std::int32_t upper1, std::int32_t lower2, std::int32_t upper2) {
    m_data.clear();
    setShape2(lower1, upper1, lower2, upper2);
    m_data.assign(static_cast<std::size_t>(m_count[0]) * m_count[1], T{});
  }

  // ReDim Preserve: new bounds, elements whose indices exist in both shapes are kept.
  void redimPreserve(std::int32_t lower, std::int32_t upper) {
    if (m_dims == 1 && lower == m_lower[0]) {
      setShape1(lower, upper);
      m_data.resize(static_cast<std::size_t>(m_count[0]));
      return;
    }
    Array old = std::move(*this);
    redim(lower, upper);
    if (old.m_dims != 1) return;
    for (std::int32_t i = std::max(lower, old.lbound()); i <= std::min(upper, old.ubound()); ++i)
      (*this)(i) = std::move(old(i));
  }
  void redimPreserve(std::int32_t lower1, std::int32_t upper1, std::int32_t lower2,
                     std::int32_t upper2) {
    Array old = std::move(*this);
    redim(lower1, upper1, lower2, upper2);
    if (old.m_dims != 2) return;
    for (std::int32_t r = std::max(lower1, old.lbound(1)); r <= std::min(upper1, old.ubound(1));
         ++r)
      for (std::int32_t c = std::max(lower2, old.lbound(2)); c <= std::min(upper2, old.ubound(2));
           ++c)
        (*this)(r, c) = std::move(old(r, c));
  }

  // Appends one element to a one-dimensional array (dimensioning it 1-based when needed).
  void append(T value) {
    if (m_dims == 0) {
      m_dims = 1;
      m_lower[0] = 1;
      m_count[0] = 0;
    }
    checkDim1();
    m_data.push_back(std::move(value));
    ++m_count[0];
  }

  // Erase: back to undimensioned.
  void erase() {
    m_data.clear();
    m_dims = 0;
    m_count[0] = m_count[1] = 0;
    m_lower[0] = m_lower[1] = 0;
  }

  // Storage in index order (row-major for two dimensions).
  std::vector<T>& data() { return m_data; }
  const std::vector<T>& data() const { return m_data; }
  auto begin() { return m_data.begin(); }
  auto end() { return m_data.end(); }
  auto begin() const { return m_data.begin(); }
  auto end() const { return m_data.end(); }

  bool operator==(const Array&) const = default;

 private:
  [[noreturn]] static void outOfRange() {
    throw DllError(dllerr::kSubscriptOutOfRange, "Subscript out of range");
  }
  void checkDim(int dim) const {
    if (dim < 1 || dim > m_dims) outOfRange();
  }
  void checkDim1() const {
    if (m_dims != 1) outOfRange();
  }
  std::size_t index1(std::int32_t i) const {
    checkDim1();
    const std::int64_t k = static_cast<std::int64_t>(i) - m_lower[0];
    if (k < 0 || k >= m_count[0]) outOfRange();
    return static_cast<std::size_t>(k);
  }
  std::size_t index2(std::int32_t row, std::int32_t col) const {
    if (m_dims != 2) outOfRange();
    const std::int64_t r = static_cast<std::int64_t>(row) - m_lower[0];
    const std::int64_t c = static_cast<std::int64_t>(col) - m_lower[1];
    if (r < 0 || r >= m_count[0] || c < 0 || c >= m_count[1]) outOfRange();
    return static_cast<std::size_t>(r * m_count[1] + c);
  }
  void setShape1(std::int32_t lower, std::int32_t upper) {
    if (upper < lower) outOfRange();
    m_dims = 1;
    m_lower[0] = lower;
    m_count[0] = upper - lower + 1;
    m_lower[1] = m_count[1] = 0;
  }
  void setShape2(std::int32_t lower1, std::int32_t upper1, std::int32_t lower2,
                 std::int32_t upper2) {
    if (upper1 < lower1 || upper2 < lower2) outOfRange();
    m_dims = 2;
    m_lower[0] = lower1;
    m_count[0] = upper1 - lower1 + 1;
    m_lower[1] = lower2;
    m_count[1] = upper2 - lower2 + 1;
  }

  int m_dims = 0;
  std::int32_t m_lower[2] = {0, 0};
  std::int32_t m_count[2] = {0, 0};
  std::vector<T> m_data;
};

}  // namespace quillmere
