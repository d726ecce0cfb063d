#include "platform/html/tags.h"

#include <array>
#include <cstddef>

namespace vt::html {

namespace {

constexpr std::string_view kNames[] = {"",
#define VT_HTML_TAG_NAME(name) #name,
                                       VT_HTML_TAGS(VT_HTML_TAG_NAME)
#undef VT_HTML_TAG_NAME
};

// Open addressing over a power-of-two table; built once, read without locks afterwards.
constexpr std::size_t kSlots = 512;

std::size_t Hash(std::string_view s) {
  std::size_t h = s.size() * 2654435761u;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

struct Table {
  std::array<std::uint16_t, kSlots> slots{};
  Table() {
    for (std::size_t t = 1; t < static_cast<std::size_t>(Tag::kCount); ++t) {
      std::size_t i = Hash(Name(t)) & (kSlots - 1);
      while (slots[i] != 0) i = (i + 1) & (kSlots - 1);
      slots[i] = static_cast<std::uint16_t>(t);
    }
  }
  static std::string_view Name(std::size_t t) {
    std::string_view n = kNames[t];
    // Identifiers cannot hold '-': the one such name is spelt with '_' in the list.
    if (n == "annotation_xml") return "annotation-xml";
    return n;
  }
};

const Table& TheTable() {
  static const Table table;
  return table;
}

}  // namespace

Tag LookupTag(std::string_view lower_name) {
  if (lower_name.empty() || lower_name.size() > 14) return Tag::kUnknown;
  const Table& table = TheTable();
  std::size_t i = Hash(lower_name) & (kSlots - 1);
  while (std::uint16_t t = table.slots[i]) {
    if (Table::Name(t) == lower_name) return static_cast<Tag>(t);
    i = (i + 1) & (kSlots - 1);
  }
  return Tag::kUnknown;
}

}  // namespace vt::html
