#pragma once
// Text helpers that read a document.
#include <string>
#include <string_view>

#include "core/pagerefs.h"

namespace vt {

// The content of the document's last META element whose name equals `name` (letter case
// ignored); empty when none matches or there is no document.
std::string GetMetaContent(std::string_view name, const DocumentRef& document);

}  // namespace vt
