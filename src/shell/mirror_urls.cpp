#include "shell/mirror_urls.h"

#include <cctype>

namespace vt::shell {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNameChar(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '-' || c == '_' || u >= 0x80 || c == '\\';
}

bool StartsWithWord(std::string_view css, size_t i, std::string_view word) {
  if (css.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(css[i + k])) != word[k]) return false;
  return i == 0 || !IsNameChar(css[i - 1]);
}

// The text of a CSS string or unquoted url starting after its opening, with escapes of the
// form "\x" taken as x (hex escapes are rare in addresses and are kept as written).
std::string Unescape(std::string_view raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() &&
        !std::isxdigit(static_cast<unsigned char>(raw[i + 1]))) {
      out += raw[++i];
      continue;
    }
    out += raw[i];
  }
  return out;
}

// A CSS string holding `url`, double-quoted.
std::string QuotedCss(std::string_view url) {
  std::string out = "\"";
  for (char c : url) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n' || c == '\r' || c == '\f') {
      out += "\\a ";
    } else {
      out += c;
    }
  }
  return out + '"';
}

// The end of the string opened by css[start] (the quote), just past its closing quote.
size_t StringEnd(std::string_view css, size_t start) {
  char quote = css[start];
  size_t i = start + 1;
  while (i < css.size() && css[i] != quote && css[i] != '\n') i += css[i] == '\\' ? 2 : 1;
  return i < css.size() ? i + 1 : css.size();
}

std::string Mapped(std::string_view url, const UrlMapper& map) {
  auto mapped = map(url);
  return mapped ? *mapped : std::string();
}

}  // namespace

std::string RewriteCssUrls(std::string_view css, const UrlMapper& map) {
  std::string out;
  out.reserve(css.size());
  int image_set_depth = 0;  // parentheses open inside an image-set(); its strings are addresses
  int depth = 0;
  size_t i = 0;
  while (i < css.size()) {
    char c = css[i];
    if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
      size_t end = css.find("*/", i + 2);
      end = end == std::string_view::npos ? css.size() : end + 2;
      out.append(css.substr(i, end - i));
      i = end;
    } else if (c == '"' || c == '\'') {
      size_t end = StringEnd(css, i);
      if (image_set_depth > 0 && depth >= image_set_depth) {
        size_t inner_end = end > i + 1 && css[end - 1] == c ? end - 1 : end;
        out += QuotedCss(Mapped(Unescape(css.substr(i + 1, inner_end - i - 1)), map));
      } else {
        out.append(css.substr(i, end - i));
      }
      i = end;
    } else if (c == '\\' && i + 1 < css.size()) {
      out.append(css.substr(i, 2));
      i += 2;
    } else if (StartsWithWord(css, i, "url(")) {
      size_t j = i + 4;
      while (j < css.size() && IsSpace(css[j])) ++j;
      std::string url;
      if (j < css.size() && (css[j] == '"' || css[j] == '\'')) {
        size_t end = StringEnd(css, j);
        size_t inner_end = end > j + 1 && css[end - 1] == css[j] ? end - 1 : end;
        url = Unescape(css.substr(j + 1, inner_end - j - 1));
        j = end;
        size_t close = css.find(')', j);
        j = close == std::string_view::npos ? css.size() : close + 1;
      } else {
        size_t k = j;
        while (k < css.size() && css[k] != ')') k += css[k] == '\\' ? 2 : 1;
        std::string_view raw = css.substr(j, std::min(k, css.size()) - j);
        while (!raw.empty() && IsSpace(raw.back())) raw.remove_suffix(1);
        url = Unescape(raw);
        j = k < css.size() ? k + 1 : css.size();
      }
      out += "url(" + QuotedCss(Mapped(url, map)) + ")";
      i = j;
    } else if (c == '@' && StartsWithWord(css, i + 1, "import")) {
      size_t j = i + 7;
      out.append(css.substr(i, j - i));
      while (j < css.size() && IsSpace(css[j])) out += css[j++];
      if (j < css.size() && (css[j] == '"' || css[j] == '\'')) {
        size_t end = StringEnd(css, j);
        size_t inner_end = end > j + 1 && css[end - 1] == css[j] ? end - 1 : end;
        out += QuotedCss(Mapped(Unescape(css.substr(j + 1, inner_end - j - 1)), map));
        j = end;
      }
      i = j;
    } else if ((StartsWithWord(css, i, "image-set(") ||
                StartsWithWord(css, i, "-webkit-image-set("))) {
      size_t open = css.find('(', i);
      out.append(css.substr(i, open + 1 - i));
      ++depth;
      if (image_set_depth == 0) image_set_depth = depth;
      i = open + 1;
    } else {
      if (c == '(') ++depth;
      if (c == ')') {
        if (depth == image_set_depth) image_set_depth = 0;
        if (depth > 0) --depth;
      }
      out += c;
      ++i;
    }
  }
  return out;
}

std::string RewriteSrcset(std::string_view srcset, const UrlMapper& map) {
  std::string out;
  size_t i = 0;
  while (i < srcset.size()) {
    while (i < srcset.size() && (IsSpace(srcset[i]) || srcset[i] == ',')) ++i;
    if (i >= srcset.size()) break;
    size_t start = i;
    while (i < srcset.size() && !IsSpace(srcset[i])) ++i;
    std::string_view url = srcset.substr(start, i - start);
    std::string_view descriptors;
    if (!url.empty() && url.back() == ',') {
      while (!url.empty() && url.back() == ',') url.remove_suffix(1);
    } else {
      size_t d = i;
      int parens = 0;
      while (i < srcset.size() && (parens > 0 || srcset[i] != ',')) {
        if (srcset[i] == '(') ++parens;
        if (srcset[i] == ')' && parens > 0) --parens;
        ++i;
      }
      descriptors = srcset.substr(d, i - d);
      while (!descriptors.empty() && IsSpace(descriptors.front())) descriptors.remove_prefix(1);
      while (!descriptors.empty() && IsSpace(descriptors.back())) descriptors.remove_suffix(1);
    }
    auto mapped = map(url);
    if (!mapped || mapped->empty()) continue;
    if (!out.empty()) out += ", ";
    // A comma or space inside the address would split the candidate; %-escape them.
    for (char c : *mapped) {
      if (c == ',')
        out += "%2C";
      else if (IsSpace(c))
        out += "%20";
      else
        out += c;
    }
    if (!descriptors.empty()) {
      out += ' ';
      out.append(descriptors);
    }
  }
  return out;
}

}  // namespace vt::shell
