#pragma once
// Globally unique identifiers: class IDs, interface IDs, service IDs.
// Their text form is the 38-character registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vt::com {

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using CLSID = GUID;
using IID = GUID;

inline constexpr GUID GUID_NULL{};

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace detail

// Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (either letter case; the braces may be left
// off). Anything else, including surrounding blanks, gives nullopt.
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  std::uint8_t bytes[16] = {};
  std::size_t pos = 0;
  for (int b = 0; b < 16; ++b) {
    if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
      if (text[pos] != '-') return std::nullopt;
      ++pos;
    }
    const int hi = detail::HexDigit(text[pos]);
    const int lo = detail::HexDigit(text[pos + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[b] = static_cast<std::uint8_t>(hi * 16 + lo);
    pos += 2;
  }
  GUID g;
  g.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}

namespace detail {
inline void InvalidGuidLiteral() {}  // not constexpr: calling it stops compilation
}  // namespace detail

// A GUID constant written as its text, checked at compile time:
//   static constexpr GUID kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");
consteval GUID MakeGuid(std::string_view text) {
  auto g = ParseGuid(text);
  if (!g) detail::InvalidGuidLiteral();
  return *g;
}

// The 38-character registry text with upper-case hex digits.
std::string ToString(const GUID& guid);

// A new random (version 4) GUID.
GUID CreateGuid();

struct GuidHash {
  std::size_t operator()(const GUID& g) const noexcept;
};

}  // namespace vt::com

template <>
struct std::hash<vt::com::GUID> : vt::com::GuidHash {};
