#pragma once
// Field values of the data-access layer: null, integer, floating point, text, date-time or boolean.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vt::ado {

// A local calendar date and time to the second. Written as text "YYYY-MM-DD HH:MM:SS".
struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;

  static DateTime Now();
  // Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS" (a 'T' may separate the
  // parts); nullopt for anything else.
  static std::optional<DateTime> Parse(std::string_view text);
  std::string ToString() const;
  auto operator<=>(const DateTime&) const = default;
};

enum class VariantKind { Null, Integer, Double, Text, DateTime, Boolean };

class Variant {
 public:
  Variant() = default;
  Variant(std::nullptr_t) {}
  Variant(int v) : value_(static_cast<int64_t>(v)) {}
  Variant(int64_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(DateTime v) : value_(v) {}

  VariantKind Kind() const { return static_cast<VariantKind>(value_.index()); }
  bool IsNull() const { return Kind() == VariantKind::Null; }

  // Conversions as the callers of a data set expect them: null reads as 0, "", false; text is
  // parsed for numbers (an error when it is not a number); booleans are -1 / 0 as numbers.
  int64_t AsInt64() const;
  int32_t AsInteger() const { return static_cast<int32_t>(AsInt64()); }
  double AsDouble() const;
  bool AsBoolean() const;
  std::string AsString() const;
  DateTime AsDateTime() const;

  bool operator==(const Variant& other) const = default;

 private:
  std::variant<std::monostate, int64_t, double, std::string, DateTime, bool> value_;
  friend struct VariantAccess;
};

// Raw access for the binding code.
struct VariantAccess {
  static const auto& Of(const Variant& v) { return v.value_; }
};

}  // namespace vt::ado
