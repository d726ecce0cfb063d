#include "search/WordScanner.h"

#include "platform/text/utf8.h"

namespace vt {
namespace {

bool IsTrimmed(char32_t c) {
  return c <= 0x20;
}

bool IsSeparator(char32_t c) {
  return c == ' ' || c == '\r';
}

std::u32string_view Trim(std::u32string_view s) {
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

WordScanner::WordScanner(std::string_view text) : text_(text::DecodeUtf8Text(text)) {}

bool WordScanner::IsBlank() const {
  return Trim(text_).empty();
}

std::vector<std::string> WordScanner::NextPieces(int max_pieces) {
  std::vector<std::string> pieces;
  if (AtEnd() || max_pieces <= 0) return pieces;
  std::u32string buffer;
  auto flush = [&] {
    std::u32string_view piece = Trim(buffer);
    if (!piece.empty()) pieces.push_back(text::EncodeUtf8Text(piece));
    buffer.clear();
  };
  const std::size_t last = text_.size() - 1;
  do {
    char32_t c = text_[position_];
    if (IsSeparator(c))
      flush();
    else
      buffer += c;
    ++position_;
  } while (position_ < last && static_cast<int>(pieces.size()) < max_pieces);
  // The slice has reached the last character: take it into the open piece so that a final word
  // without a separator after it is not lost.
  if (position_ == last && static_cast<int>(pieces.size()) < max_pieces) {
    char32_t c = text_[position_];
    if (!IsSeparator(c)) buffer += c;
    ++position_;
    flush();
  }
  return pieces;
}

}  // namespace vt
