#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace quillmere {

// A small tagged value: empty, a truth value, a whole number, a floating number or text.
class Variant {
 public:
  Variant() = default;
  Variant(bool v) : m_value(v) {}                      // NOLINT(google-explicit-constructor)
  Variant(std::int32_t v) : m_value(v) {}              // NOLINT(google-explicit-constructor)
  Variant(std::int64_t v) : m_value(v) {}              // NOLINT(google-explicit-constructor)
  Variant(double v) : m_value(v) {}                    // NOLINT(google-explicit-constructor)
  Variant(std::string v) : m_value(std::move(v)) {}    // NOLINT(google-explicit-constructor)
  Variant(const char* v) : m_value(std::string(v)) {}  // NOLINT(google-explicit-constructor)

  bool isEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
  bool isText() const { return std::holds_alternative<std::string>(m_value); }
  bool isNumber() const { return !isEmpty() && !isText(); }

  // Numeric value; empty is 0, True is -1, text is converted as the runtime's Val would.
  double toDouble() const;
  std::int64_t toInt64() const { return static_cast<std::int64_t>(toDouble()); }
  // Text form; numbers in plain decimal, True/False as "True"/"False".
  std::string toString() const;

  bool operator==(const Variant&) const = default;

 private:
  std::variant<std::monostate, bool, std::int32_t, std::int64_t, double, std::string> m_value;
};

}  // namespace quillmere
