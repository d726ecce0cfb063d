#pragma once
// Resolving the addresses a document holds (src, href) against its base.

#include <string>
#include <string_view>

namespace vt::dom {

// Resolves `reference` against the absolute URL `base` as a browser does: surrounding blanks and
// tabs and newlines inside are dropped, "\" counts as "/" for http(s) and file, "." and ".."
// segments are removed, spaces and non-ASCII characters are %-escaped. A reference with its own
// scheme is only cleaned; a base without a scheme gives the cleaned reference.
std::string ResolveUrl(std::string_view base, std::string_view reference);

}  // namespace vt::dom
