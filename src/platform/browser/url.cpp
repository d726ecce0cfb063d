#include "platform/browser/url.h"

#include <cctype>

#include "platform/text/escape.h"

namespace vt::browser {
namespace {

bool IsSchemeChar(char c, bool first) {
  if (std::isalpha(static_cast<unsigned char>(c))) return true;
  return !first &&
         (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The five components of RFC 3986 section 3; `has_*` tell an empty component from a missing one.
struct Parts {
  std::string scheme, authority, path, query, fragment;
  bool has_scheme = false, has_authority = false, has_query = false, has_fragment = false;
};

Parts Split(std::string_view s) {
  Parts p;
  if (auto hash = s.find('#'); hash != std::string_view::npos) {
    p.has_fragment = true;
    p.fragment = s.substr(hash + 1);
    s = s.substr(0, hash);
  }
  if (auto q = s.find('?'); q != std::string_view::npos) {
    p.has_query = true;
    p.query = s.substr(q + 1);
    s = s.substr(0, q);
  }
  std::string scheme = SchemeOf(s);
  if (!scheme.empty()) {
    p.has_scheme = true;
    p.scheme = scheme;
    s = s.substr(scheme.size() + 1);
  }
  if (s.starts_with("//")) {
    s = s.substr(2);
    auto slash = s.find('/');
    p.has_authority = true;
    p.authority = s.substr(0, slash);
    s = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
  }
  p.path = s;
  return p;
}

std::string Join(const Parts& p) {
  std::string out;
  if (p.has_scheme) out += p.scheme + ":";
  if (p.has_authority) out += "//" + p.authority;
  out += p.path;
  if (p.has_query) out += "?" + p.query;
  if (p.has_fragment) out += "#" + p.fragment;
  return out;
}

}  // namespace

std::string SchemeOf(std::string_view url) {
  auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return "";
  for (size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(url[i], i == 0)) return "";
  }
  // "c:/x" is a drive letter on other systems, never a scheme worth handling here.
  if (colon == 1) return "";
  return Lower(url.substr(0, colon));
}

std::string PercentDecode(std::string_view text, bool plus_as_space) {
  return text::PercentDecode(text, plus_as_space);
}

std::string PercentEncodePath(std::string_view path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c >= 0x80) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::optional<std::string> FilePathFromUrl(std::string_view url) {
  if (SchemeOf(url) != "file") return std::nullopt;
  Parts p = Split(url);
  if (p.has_authority && !p.authority.empty() && Lower(p.authority) != "localhost") {
    return std::nullopt;
  }
  std::string path = PercentDecode(p.path);
  if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

std::string FileUrlFromPath(std::string_view path) {
  return "file://" + PercentEncodePath(path);
}

std::string NormalizeTypedUrl(std::string_view typed) {
  while (!typed.empty() && std::isspace(static_cast<unsigned char>(typed.front()))) {
    typed.remove_prefix(1);
  }
  while (!typed.empty() && std::isspace(static_cast<unsigned char>(typed.back()))) {
    typed.remove_suffix(1);
  }
  if (typed.empty()) return "about:blank";
  if (!SchemeOf(typed).empty()) {
    // "host:8080/x" has a scheme-like prefix; a digit after the colon means a port.
    auto colon = typed.find(':');
    bool port =
        colon + 1 < typed.size() && std::isdigit(static_cast<unsigned char>(typed[colon + 1]));
    if (!port) return std::string(typed);
  }
  if (typed.front() == '/') return FileUrlFromPath(typed);
  std::string url = "http://" + std::string(typed);
  Parts p = Split(url);
  if (p.path.empty())
    url = Join(Parts{p.scheme, p.authority, "/", p.query, p.fragment, true, true, p.has_query,
                     p.has_fragment});
  return url;
}

std::string StripFragment(std::string_view url) {
  return std::string(url.substr(0, url.find('#')));
}

std::string HtmlEscape(std::string_view text) {
  return text::EscapeHtml(text, text::HtmlQuotes::kBoth);
}

}  // namespace vt::browser
