#include "search/WordRules.h"

#include <array>

#include "platform/text/utf8.h"

namespace vt {

bool IsWordChar(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xE8 && c <= 0xEF);
}

bool IsStopWord(std::string_view word) {
  static constexpr std::array<std::string_view, 9> kStopWords = {"with", "the", "or",  "of", "it",
                                                                 "and",  "for", "not", "all"};
  std::string lower(word);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (std::string_view stop : kStopWords)
    if (lower == stop) return true;
  return false;
}

std::string NormalizeWord(std::string_view word) {
  std::u32string w = text::DecodeUtf8Text(word);
  if (w.size() < 3 || w.size() > 35) return {};
  if (!IsWordChar(w.front())) w.erase(0, 1);
  if (!w.empty() && !IsWordChar(w.back())) w.pop_back();
  for (char32_t c : w)
    if (!IsWordChar(c)) return {};
  std::string out = text::EncodeUtf8Text(w);
  if (w.size() <= 4 && IsStopWord(out)) return {};
  return out;
}

}  // namespace vt
