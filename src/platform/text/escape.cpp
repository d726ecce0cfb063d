#include "platform/text/escape.h"

namespace vt::text {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void AppendEscapedHtml(std::string& out, std::string_view text, HtmlQuotes quotes) {
  out.reserve(out.size() + text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += quotes == HtmlQuotes::kNone ? "\"" : "&quot;";
        break;
      case '\'':
        out += quotes == HtmlQuotes::kBoth ? "&#39;" : "'";
        break;
      default:
        out += c;
    }
  }
}

std::string EscapeHtml(std::string_view text, HtmlQuotes quotes) {
  std::string out;
  AppendEscapedHtml(out, text, quotes);
  return out;
}

std::string PercentDecode(std::string_view text, bool plus_as_space) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += (plus_as_space && c == '+') ? ' ' : c;
  }
  return out;
}

}  // namespace vt::text
