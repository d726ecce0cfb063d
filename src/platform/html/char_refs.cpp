#include "platform/html/char_refs.h"

#include <algorithm>
#include <iterator>

namespace vt::html {

namespace {

constexpr CharRef kRefs[] = {
#include "platform/html/entities.inc"
};

}  // namespace

const CharRef* FindCharRef(std::string_view name) {
  auto it = std::lower_bound(std::begin(kRefs), std::end(kRefs), name,
                             [](const CharRef& r, std::string_view n) { return r.name < n; });
  if (it == std::end(kRefs) || it->name != name) return nullptr;
  return &*it;
}

}  // namespace vt::html
