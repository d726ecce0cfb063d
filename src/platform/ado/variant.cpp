#include "platform/ado/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/ado/error.h"

namespace vt::ado {
namespace {

bool ParseInt(std::string_view s, int64_t& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

bool ParseDouble(std::string_view s, double& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

[[noreturn]] void NotANumber(const std::string& s) {
  throw AdoError(ErrorKind::Sql, "'" + s + "' is not a valid number");
}

int Digits(std::string_view s, size_t at, size_t n) {
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

}  // namespace

DateTime DateTime::Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::optional<DateTime> DateTime::Parse(std::string_view s) {
  if (s.size() < 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  DateTime d{Digits(s, 0, 4), Digits(s, 5, 2), Digits(s, 8, 2), 0, 0, 0};
  if (d.year < 0 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return std::nullopt;
  if (s.size() == 10) return d;
  if ((s[10] != ' ' && s[10] != 'T') || s.size() < 16 || s[13] != ':') return std::nullopt;
  d.hour = Digits(s, 11, 2);
  d.minute = Digits(s, 14, 2);
  if (s.size() >= 19 && s[16] == ':')
    d.second = Digits(s, 17, 2);
  else if (s.size() != 16)
    return std::nullopt;
  if (d.hour < 0 || d.hour > 23 || d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 59)
    return std::nullopt;
  return d;
}

std::string DateTime::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

int64_t Variant::AsInt64() const {
  switch (Kind()) {
    case VariantKind::Null:
      return 0;
    case VariantKind::Integer:
      return std::get<int64_t>(value_);
    case VariantKind::Double:
      return std::llround(std::get<double>(value_));
    case VariantKind::Boolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VariantKind::DateTime:
      throw AdoError(ErrorKind::Sql, "A date-time is not a number");
    case VariantKind::Text: {
      const auto& s = std::get<std::string>(value_);
      int64_t i;
      if (ParseInt(s, i)) return i;
      double d;
      if (ParseDouble(s, d)) return std::llround(d);
      NotANumber(s);
    }
  }
  return 0;
}

double Variant::AsDouble() const {
  switch (Kind()) {
    case VariantKind::Double:
      return std::get<double>(value_);
    case VariantKind::Text: {
      const auto& s = std::get<std::string>(value_);
      double d;
      if (ParseDouble(s, d)) return d;
      NotANumber(s);
    }
    default:
      return static_cast<double>(AsInt64());
  }
}

bool Variant::AsBoolean() const {
  switch (Kind()) {
    case VariantKind::Null:
      return false;
    case VariantKind::Boolean:
      return std::get<bool>(value_);
    case VariantKind::Text: {
      std::string s = std::get<std::string>(value_);
      for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (s == "true" || s == "yes") return true;
      if (s == "false" || s == "no" || s.empty()) return false;
      return AsDouble() != 0;
    }
    default:
      return AsDouble() != 0;
  }
}

std::string Variant::AsString() const {
  switch (Kind()) {
    case VariantKind::Null:
      return {};
    case VariantKind::Integer:
      return std::to_string(std::get<int64_t>(value_));
    case VariantKind::Double: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(value_));
      return buf;
    }
    case VariantKind::Text:
      return std::get<std::string>(value_);
    case VariantKind::DateTime:
      return std::get<DateTime>(value_).ToString();
    case VariantKind::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
  }
  return {};
}

DateTime Variant::AsDateTime() const {
  if (Kind() == VariantKind::DateTime) return std::get<DateTime>(value_);
  if (Kind() == VariantKind::Null) return DateTime{};
  if (Kind() == VariantKind::Text) {
    if (auto d = DateTime::Parse(std::get<std::string>(value_))) return *d;
  }
  throw AdoError(ErrorKind::Sql, "'" + AsString() + "' is not a valid date and time");
}

}  // namespace vt::ado
