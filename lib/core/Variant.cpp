#include "Variant.h"

#include <cstdlib>
#include <sstream>

namespace quillmere {

double Variant::toDouble() const {
  struct Visitor {
    double operator()(std::monostate) const { return 0.0; }
    double operator()(bool v) const { return v ? -1.0 : 0.0; }
    double operator()(std::int32_t v) const { return v; }
    double operator()(std::int64_t v) const { return static_cast<double>(v); }
    double operator()(double v) const { return v; }
    double operator()(const std::string& v) const { return std::strtod(v.c_str(), nullptr); }
  };
  return std::visit(Visitor{}, m_value);
}

std::string Variant::toString() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(bool v) const { return v ? "True" : "False"; }
    std::string operator()(std::int32_t v) const { return std::to_string(v); }
    std::string operator()(std::int64_t v) const { return std::to_string(v); }
    std::string operator()(double v) const {
      std::ostringstream out;
      out.precision(15);
      out << v;
      return out.str();
    }
    std::string operator()(const std::string& v) const { return v; }
  };
  return std::visit(Visitor{}, m_value);
}

}  // namespace quillmere
