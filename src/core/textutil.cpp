#include "core/textutil.h"

#include <cstdint>

namespace vt {
namespace {

// Length in bytes of the UTF-8 sequence that starts at text[i]; 1 for a byte that does not start a
// valid sequence.
std::size_t SeqLen(std::string_view text, std::size_t i) {
  auto b = static_cast<unsigned char>(text[i]);
  std::size_t len = b < 0x80           ? 1
                    : (b >> 5) == 0x6  ? 2
                    : (b >> 4) == 0xE  ? 3
                    : (b >> 3) == 0x1E ? 4
                                       : 1;
  if (len == 1 || i + len > text.size()) return 1;
  for (std::size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

// The code point of the sequence at text[i] of length len; 0xFFFD for an invalid byte.
char32_t Decode(std::string_view text, std::size_t i, std::size_t len) {
  auto b = static_cast<unsigned char>(text[i]);
  if (len == 1) return b < 0x80 ? b : 0xFFFD;
  char32_t cp = b & (0xFF >> (len + 1));
  for (std::size_t k = 1; k < len; ++k)
    cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return cp;
}

bool IsFoldedSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsKept(char32_t c) {
  return c == ' ' || c == ',' || c == '-' || c == '.' || c == '/' || (c >= '0' && c <= '9') ||
         (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xE8 && c <= 0xEF);
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::size_t CharCount(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); i += SeqLen(text, i)) ++n;
  return n;
}

std::string_view FirstChars(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < count && i < text.size(); ++n) i += SeqLen(text, i);
  return text.substr(0, i);
}

std::string CleanText(std::string_view text) {
  text = FirstChars(text, kCleanTextChars);
  std::string out;
  out.reserve(text.size());
  bool in_space = false;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = SeqLen(text, i);
    char32_t c = Decode(text, i, len);
    if (IsFoldedSpace(c)) {
      // CR LF pairs and every other white-space run become one space.
      if (!in_space) out += ' ';
      in_space = true;
    } else {
      in_space = false;
      if (IsKept(c)) out.append(text.substr(i, len));
    }
    i += len;
  }
  // Only spaces remain of the control characters, so trimming spaces trims both.
  return std::string(TrimSpaces(out));
}

std::string ShortenText(std::string_view text, int max_length) {
  std::size_t scanned = 0;
  std::size_t last_space = std::string_view::npos;  // byte offset
  std::size_t space_char = 0;                       // 1-based character position of last_space
  char quote = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = SeqLen(text, i);
    char c = text[i];
    ++scanned;
    if (c == '\r') return std::string(TrimSpaces(text.substr(0, i)));
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ' ') {
      last_space = i;
      space_char = scanned;
    }
    if (max_length >= 0 && scanned >= static_cast<std::size_t>(max_length) &&
        last_space != std::string_view::npos && space_char > 1) {
      return std::string(TrimSpaces(text.substr(0, last_space)));
    }
    i += len;
  }
  return std::string(text);
}

std::string HostOfUrl(std::string_view address) {
  std::string a(address);
  for (char& c : a) {
    if (c == '\\') c = '/';
  }
  std::size_t p = a.find("://");
  if (p == std::string::npos) return {};
  std::string rest = a.substr(p + 3);
  rest = rest.substr(0, rest.find('/'));
  return rest.substr(0, rest.find(':'));
}

}  // namespace vt
