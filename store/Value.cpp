#include "store/Value.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ar {
namespace {
[[noreturn]] void InvalidUseOfNull() { throw std::runtime_error("Invalid use of Null"); }
}  // namespace

std::string Value::AsText() const {
  if (IsNull()) InvalidUseOfNull();
  if (auto s = std::get_if<std::string>(&v_)) return *s;
  if (auto i = std::get_if<int64_t>(&v_)) return std::to_string(*i);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v_));
  return buf;
}

int64_t Value::AsInteger() const {
  if (IsNull()) InvalidUseOfNull();
  if (auto i = std::get_if<int64_t>(&v_)) return *i;
  if (auto d = std::get_if<double>(&v_)) return static_cast<int64_t>(std::nearbyint(*d));
  const std::string& s = std::get<std::string>(v_);
  try {
    size_t used = 0;
    const double d = std::stod(s, &used);
    return static_cast<int64_t>(std::nearbyint(d));
  } catch (const std::exception&) {
    throw std::runtime_error("Type mismatch: '" + s + "' is not a number");
  }
}

double Value::AsReal() const {
  if (IsNull()) InvalidUseOfNull();
  if (auto d = std::get_if<double>(&v_)) return *d;
  if (auto i = std::get_if<int64_t>(&v_)) return static_cast<double>(*i);
  const std::string& s = std::get<std::string>(v_);
  try {
    return std::stod(s);
  } catch (const std::exception&) {
    throw std::runtime_error("Type mismatch: '" + s + "' is not a number");
  }
}

bool Value::AsBool() const { return AsReal() != 0.0; }

std::string NullToDefault(const Value& v, const std::string& def) { return v.IsNull() ? def : v.AsText(); }
std::string NullToDefault(const Value& v, const char* def) { return v.IsNull() ? std::string(def) : v.AsText(); }
int64_t NullToDefault(const Value& v, int64_t def) { return v.IsNull() ? def : v.AsInteger(); }
int NullToDefault(const Value& v, int def) { return v.IsNull() ? def : static_cast<int>(v.AsInteger()); }
double NullToDefault(const Value& v, double def) { return v.IsNull() ? def : v.AsReal(); }
bool NullToDefault(const Value& v, bool def) { return v.IsNull() ? def : v.AsBool(); }

}  // namespace ar
