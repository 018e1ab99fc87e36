#include "core/Main.h"

#include <utility>

namespace quillmere {

const Main& dll() {
  static const Main instance;
  return instance;
}

namespace {
// True when dimension x of the array exists; never fails.
template <typename T>
bool hasDimension(const Array<T>& array, std::int32_t x) {
  return x >= 1 && x <= array.dims();
}
}  // namespace

bool Main::DLL_XBound(VariantArray& DimA, std::int32_t X) const {
  return hasDimension(DimA, X);
}
bool Main::DLL_XBoundByte(ByteArray& DimA, std::int32_t X) const {
  return hasDimension(DimA, X);
}
bool Main::DLL_XBoundLong(LongArray& DimA, std::int32_t X) const {
  return hasDimension(DimA, X);
}
bool Main::DLL_XBoundString(StringArray& DimA, std::int32_t X) const {
  return hasDimension(DimA, X);
}

void Main::DLL_SwapByte(std::uint8_t& SwapA, std::uint8_t& SwapB) const {
  std::swap(SwapA, SwapB);
}
void Main::DLL_SwapLong(std::int32_t& SwapA, std::int32_t& SwapB) const {
  std::swap(SwapA, SwapB);
}

}  // namespace quillmere
