#pragma once
// The named character references of HTML ("amp;" -> "&"), the whole table.

#include <cstddef>
#include <string_view>

namespace vt::html {

struct CharRef {
  std::string_view name;   // with its ';' where the name has one ("amp;", and legacy "amp")
  std::string_view value;  // UTF-8
};

// Longest name in the table, ';' included.
constexpr std::size_t kMaxCharRefName = 32;

// The entry named exactly `name`, or null.
const CharRef* FindCharRef(std::string_view name);

}  // namespace vt::html
