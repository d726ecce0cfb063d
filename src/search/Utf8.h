#pragma once
// Minimal UTF-8 conversion for the indexer, which works on characters rather than bytes.
#include <string>
#include <string_view>

namespace vt::utf8 {

// Code points of a UTF-8 text; a byte that does not start a valid sequence becomes U+FFFD.
std::u32string Decode(std::string_view text);

// UTF-8 form of a sequence of code points.
std::string Encode(std::u32string_view text);

}  // namespace vt::utf8
