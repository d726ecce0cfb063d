#include "core/textutil_dom.h"

#include <cctype>

#include "platform/dom/document.h"

namespace vt {
namespace {

bool SameUpper(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string GetMetaContent(std::string_view name, const DocumentRef& document) {
  std::string result;
  if (!document) return result;
  dom::ElementCollection metas = document->all().tags("META");
  const long count = metas.length();
  for (long i = 0; i < count; ++i) {
    dom::ElementPtr meta = metas.item(i);
    if (SameUpper(meta->getAttribute("name"), name)) result = meta->getAttribute("content");
  }
  return result;
}

}  // namespace vt
