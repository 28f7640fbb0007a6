#pragma once
// A column value: Null, a whole number, a real number or a text.
#include <cstdint>
#include <string>
#include <variant>

namespace ar {

// Yes/No values as stored: true is -1, false is 0.
constexpr int64_t kYes = -1;
constexpr int64_t kNo = 0;
inline int64_t YesNo(bool b) { return b ? kYes : kNo; }

struct Null {};

class Value {
 public:
  Value() = default;
  Value(Null) {}
  Value(std::nullptr_t) {}
  Value(int v) : v_(static_cast<int64_t>(v)) {}
  Value(long v) : v_(static_cast<int64_t>(v)) {}
  Value(long long v) : v_(static_cast<int64_t>(v)) {}
  Value(bool v) : v_(YesNo(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }
  bool IsInteger() const { return std::holds_alternative<int64_t>(v_); }
  bool IsReal() const { return std::holds_alternative<double>(v_); }

  // Conversions; each throws std::runtime_error for Null (as reading a Null into a
  // typed variable does), so callers that accept Null use NullToDefault.
  std::string AsText() const;
  int64_t AsInteger() const;
  double AsReal() const;
  bool AsBool() const;  // a Yes/No value: not zero is true

  const auto& Raw() const { return v_; }
  bool operator==(const Value& o) const { return v_ == o.v_; }

 private:
  std::variant<std::monostate, int64_t, double, std::string> v_;
};

// The value, or the default when the value is Null.
std::string NullToDefault(const Value& v, const std::string& def);
std::string NullToDefault(const Value& v, const char* def);
int64_t NullToDefault(const Value& v, int64_t def);
int NullToDefault(const Value& v, int def);
double NullToDefault(const Value& v, double def);
bool NullToDefault(const Value& v, bool def);

}  // namespace ar
