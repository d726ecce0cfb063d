#pragma once
// Cuts a page text into pieces a few at a time. A blank or a carriage return ends a piece; every
// other character (line feeds and tabs included) belongs to it, and each piece is trimmed of
// blanks and control characters at both ends. The scanner remembers where it stopped, so a text
// can be worked through in slices; a slice always stops right after a separator or at the end of
// the text, so no piece is split between slices.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vt {

class WordScanner {
 public:
  WordScanner() = default;
  explicit WordScanner(std::string_view text);

  // True when the text holds nothing but blanks and control characters (or nothing at all).
  bool IsBlank() const;
  bool IsEmpty() const { return text_.empty(); }

  // True once the scan has reached the last character of the text. The last character is
  // consumed together with the slice that reaches it, so nothing is left to scan by then.
  bool AtEnd() const { return text_.empty() || position_ + 1 >= text_.size(); }

  // Scans on from the current position and answers up to max_pieces non-empty pieces (UTF-8).
  // Scans at least one character unless AtEnd(). A piece still open when the text ends is
  // answered as well, unless max_pieces were already found.
  std::vector<std::string> NextPieces(int max_pieces);

  // 0-based index of the next character to examine; characters, not bytes.
  std::size_t Position() const { return position_; }
  std::size_t Length() const { return text_.size(); }
  // Goes back to an earlier Position(), so that the pieces after it are answered again.
  void Rewind(std::size_t position) {
    position_ = position < text_.size() ? position : text_.size();
  }

 private:
  std::u32string text_;
  std::size_t position_ = 0;
};

}  // namespace vt
