#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillmere {

// The failing status of a library method: an error number and its text. A method that throws
// hands nothing half-built back; the program catches it where errors are to be ignored.
class DllError : public std::runtime_error {
 public:
  DllError(std::int32_t number, const std::string& text)
      : std::runtime_error(text), m_number(number) {}

  std::int32_t number() const noexcept { return m_number; }
  std::string text() const { return what(); }

 private:
  std::int32_t m_number;
};

// Error numbers the library raises itself (the runtime's own numbers where one exists).
namespace dllerr {
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kDeviceIo = 57;
}  // namespace dllerr

}  // namespace quillmere
