#pragma once
// UTF-8, as every stand-in of the platform reads and writes text. No dependencies; thread-safe.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vt::text {

// Appends the UTF-8 form of `cp`; a surrogate or a value above U+10FFFF is written as U+FFFD.
void AppendUtf8(char32_t cp, std::string& out);

// Decodes the sequence at text[i] and moves i past it. nullopt, with i unchanged, when the bytes
// there are not well-formed UTF-8 (truncated, overlong, a surrogate, above U+10FFFF) or i is at
// the end.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& i);

// The code points of a whole text; each byte that does not begin a well-formed sequence becomes
// U+FFFD (an ASCII byte stays itself).
std::u32string DecodeUtf8Text(std::string_view text);
// The UTF-8 form of a sequence of code points (see AppendUtf8).
std::string EncodeUtf8Text(std::u32string_view text);

}  // namespace vt::text
