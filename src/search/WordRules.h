#pragma once
// The rules that decide which pieces of page text become index words. Plain functions without
// state; text is UTF-8 and lengths count Unicode characters.
#include <string>
#include <string_view>

namespace vt {

// Letters that may make up an index word: A-Z, a-z and the eight accented letters U+00E8 to
// U+00EF (è é ê ë ì í î ï). Digits, other letters and punctuation are not word characters.
bool IsWordChar(char32_t c);

// True for the nine words too common to index ("with", "the", "or", "of", "it", "and", "for",
// "not", "all"), compared in ASCII lower case.
bool IsStopWord(std::string_view word);

// The index form of one piece of text, or "" when the piece is not indexed:
// 3 to 35 characters; one leading and one trailing non-word character are dropped; everything
// left must be word characters; a stop word is rejected. The letter case is kept. The length is
// checked before the ends are dropped, so "(ok)" gives "ok".
std::string NormalizeWord(std::string_view word);

}  // namespace vt
