#pragma once
// Small text operations shared by the parser, the storage code and the band's commands. Plain
// functions without state. Text is UTF-8; lengths and positions count Unicode characters (a byte
// that is not part of a valid UTF-8 sequence counts as one character and is kept as it is).
#include <string>
#include <string_view>

namespace vt {

// Reduces any page text to a short plain label: its first 250 characters, CR LF and white-space
// runs folded to one space, every character outside the kept set removed (space , - . / digits,
// ASCII letters and the letters U+00E8 to U+00EF), then leading and trailing spaces and control
// characters removed. Never longer than 250 characters.
std::string CleanText(std::string_view text);
// How much of its text CleanText reads: callers may hand it only this many first characters.
inline constexpr std::size_t kCleanTextChars = 250;

// Cuts a label at a word boundary: once MaxLength characters have been scanned, the text before
// the last space seen (spaces inside '...' or "..." do not count, nor a space in first place) with
// surrounding spaces removed. A CR ends the result as well. Otherwise the text is returned as is.
std::string ShortenText(std::string_view text, int max_length);

// The host of an address: backslashes read as "/", the text between the first "://" and the next
// "/", without a port. Empty when the address has no "://".
std::string HostOfUrl(std::string_view address);

// Number of Unicode characters of a UTF-8 text.
std::size_t CharCount(std::string_view text);

// The first `count` characters of a UTF-8 text.
std::string_view FirstChars(std::string_view text, std::size_t count);

}  // namespace vt
