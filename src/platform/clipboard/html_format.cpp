// The "HTML Format" block: a header of offsets, then the page.
#include <string>

#include "platform/clipboard/clipboard.h"
#include "platform/text/utf8.h"

namespace vt::clipboard {
namespace {

// Characters of a UTF-8 text: well-formed sequences, and every other byte on its own.
std::size_t CharCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    if (!text::DecodeUtf8(text, i)) ++i;
  }
  return count;
}

// Byte offset of character `chars` of `text` (its size when the text is shorter).
std::size_t ByteOffset(std::string_view text, std::size_t chars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < chars && i < text.size(); ++n) {
    if (!text::DecodeUtf8(text, i)) ++i;
  }
  return i;
}

std::string Padded(std::size_t value, std::size_t digits) {
  std::string s = std::to_string(value);
  if (s.size() < digits) s.insert(0, digits - s.size(), '0');
  return s;
}

constexpr std::string_view kLeadLines = "Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\n";
constexpr std::string_view kStart = "StartFragment:";
constexpr std::string_view kEnd = "EndFragment:";

// The number after `key` at the start of a line of `header`, or npos.
std::size_t ReadOffset(std::string_view header, std::string_view key) {
  std::size_t at = header.find(key);
  if (at == std::string_view::npos) return std::string_view::npos;
  std::size_t value = 0;
  std::size_t i = at + key.size();
  if (i >= header.size() || header[i] < '0' || header[i] > '9') return std::string_view::npos;
  for (; i < header.size() && header[i] >= '0' && header[i] <= '9'; ++i) {
    if (value > 1'000'000'000'000) return std::string_view::npos;
    value = value * 10 + static_cast<std::size_t>(header[i] - '0');
  }
  return value;
}

}  // namespace

std::string BuildClipboardHtml(std::string_view html) {
  const std::size_t body = CharCount(html) + 2;  // the html and its CR LF
  // The header is 75 characters plus the digits of EndFragment: six, or as many as the total
  // needs (which grows with them).
  std::size_t digits = 6;
  while (std::to_string(75 + digits + body).size() > digits) ++digits;
  const std::size_t start = 75 + digits;
  std::string out;
  out.reserve(start + html.size() + 2);
  out += kLeadLines;
  out += kStart;
  out += Padded(start, 6);
  out += "\r\n";
  out += kEnd;
  out += Padded(start + body, digits);
  out += "\r\n";
  out += html;
  out += "\r\n";
  return out;
}

std::string HtmlFragmentOf(std::string_view block) {
  const std::size_t header_end = block.find(kEnd);
  const std::size_t line_end =
      header_end == std::string_view::npos ? header_end : block.find("\r\n", header_end);
  if (line_end == std::string_view::npos) return std::string(block);
  const std::string_view header = block.substr(0, line_end);
  const std::size_t start = ReadOffset(header, kStart);
  const std::size_t end = ReadOffset(header, kEnd);
  const std::size_t chars = CharCount(block);
  if (start == std::string_view::npos || end == std::string_view::npos || start > end ||
      end > chars) {
    return std::string(block.substr(line_end + 2));
  }
  const std::size_t from = ByteOffset(block, start);
  const std::size_t to = ByteOffset(block, end);
  return std::string(block.substr(from, to - from));
}

}  // namespace vt::clipboard
