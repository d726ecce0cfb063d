#include "platform/dom/url.h"

#include <cctype>

#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

struct Parts {
  std::string scheme;  // lower case, without ':'
  bool has_authority = false;
  std::string authority;
  std::string path;
  std::string query;     // with '?', or empty
  std::string fragment;  // with '#', or empty
};

bool IsSpecial(std::string_view scheme) {
  return scheme == "http" || scheme == "https" || scheme == "file" || scheme == "ftp" ||
         scheme == "ws" || scheme == "wss";
}

// Length of a scheme at the start of `text` (without ':'), or 0.
std::size_t SchemeLength(std::string_view text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return i;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

std::string Clean(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\t' && c != '\n' && c != '\r') out += c;
  }
  return out;
}

Parts Split(std::string_view url) {
  Parts p;
  const std::size_t scheme_len = SchemeLength(url);
  if (scheme_len) {
    p.scheme = ToLowerAscii(url.substr(0, scheme_len));
    url.remove_prefix(scheme_len + 1);
  }
  if (const auto hash = url.find('#'); hash != std::string_view::npos) {
    p.fragment = std::string(url.substr(hash));
    url = url.substr(0, hash);
  }
  if (const auto q = url.find('?'); q != std::string_view::npos) {
    p.query = std::string(url.substr(q));
    url = url.substr(0, q);
  }
  if (url.substr(0, 2) == "//") {
    p.has_authority = true;
    url.remove_prefix(2);
    const auto slash = url.find('/');
    p.authority = std::string(url.substr(0, slash));
    url = slash == std::string_view::npos ? std::string_view{} : url.substr(slash);
  }
  p.path = std::string(url);
  return p;
}

std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> out;
  const bool absolute = !path.empty() && path.front() == '/';
  std::size_t i = absolute ? 1 : 0;
  bool trailing_slash = false;
  while (i <= path.size()) {
    auto end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    const auto seg = path.substr(i, end - i);
    const bool last = end == path.size();
    if (seg == "." || EqualsIgnoreCase(seg, "%2e")) {
      trailing_slash = last;
    } else if (seg == ".." || EqualsIgnoreCase(seg, ".%2e") || EqualsIgnoreCase(seg, "%2e.") ||
               EqualsIgnoreCase(seg, "%2e%2e")) {
      if (!out.empty()) out.pop_back();
      trailing_slash = last;
    } else {
      out.push_back(seg);
      trailing_slash = false;
    }
    i = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (std::size_t k = 0; k < out.size(); ++k) {
    if (k) result += '/';
    result += out[k];
  }
  if (trailing_slash && !out.empty()) result += '/';
  return result;
}

void AppendEscaped(std::string_view text, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
}

std::string Authority(std::string_view authority, std::string_view scheme) {
  std::string a = ToLowerAscii(authority);
  const auto at = a.rfind('@');
  const std::size_t host_start = at == std::string::npos ? 0 : at + 1;
  const auto colon = a.rfind(':');
  if (colon != std::string::npos && colon > host_start && a.find(']', colon) == std::string::npos) {
    const std::string port = a.substr(colon + 1);
    if (port.empty() || (scheme == "http" && port == "80") ||
        (scheme == "https" && port == "443") || (scheme == "ftp" && port == "21")) {
      a.erase(colon);
    }
  }
  if (at != std::string::npos) {
    // Credentials keep their case.
    a = std::string(authority.substr(0, at + 1)) + a.substr(at + 1);
  }
  return a;
}

std::string Join(const Parts& p) {
  std::string out = p.scheme;
  out += ':';
  if (p.has_authority) {
    out += "//";
    out += Authority(p.authority, p.scheme);
  }
  std::string path = p.path;
  if (IsSpecial(p.scheme)) {
    path = RemoveDotSegments(path);
    if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  }
  AppendEscaped(path, out);
  AppendEscaped(p.query, out);
  AppendEscaped(p.fragment, out);
  return out;
}

}  // namespace

std::string ResolveUrl(std::string_view base_text, std::string_view reference) {
  std::string ref = Clean(reference);
  Parts base = Split(Clean(base_text));
  const std::size_t ref_scheme = SchemeLength(ref);
  if (ref_scheme) {
    const std::string scheme = ToLowerAscii(std::string_view(ref).substr(0, ref_scheme));
    const bool same_special = IsSpecial(scheme) && scheme == base.scheme &&
                              ref.compare(ref_scheme + 1, 2, "//") != 0 &&
                              ref.compare(ref_scheme + 1, 2, "\\\\") != 0;
    if (!same_special) {
      if (IsSpecial(scheme)) {
        for (char& c : ref) c = c == '\\' ? '/' : c;
      }
      Parts p = Split(ref);
      if (!IsSpecial(p.scheme)) return p.scheme + ":" + ref.substr(ref_scheme + 1);
      return Join(p);
    }
    ref.erase(0, ref_scheme + 1);  // "http:foo" against an http base is relative
  }
  if (base.scheme.empty()) return ref;
  if (!IsSpecial(base.scheme) && !base.has_authority) {
    // about:blank, data:, mailto: and the like resolve nothing but fragments.
    if (!ref.empty() && ref.front() == '#') {
      return base.scheme + ":" + base.path + base.query + ref;
    }
    return ref;
  }
  if (IsSpecial(base.scheme)) {
    for (char& c : ref) c = c == '\\' ? '/' : c;
  }
  Parts r = Split(ref);
  Parts out;
  out.scheme = base.scheme;
  if (ref.substr(0, 2) == "//") {
    out.has_authority = true;
    out.authority = r.authority;
    out.path = r.path;
    out.query = r.query;
  } else if (ref.empty() || ref.front() == '#') {
    out = base;
    out.fragment.clear();
  } else if (ref.front() == '?') {
    out = base;
    out.query = r.query;
  } else {
    out.has_authority = base.has_authority;
    out.authority = base.authority;
    out.query = r.query;
    if (!r.path.empty() && r.path.front() == '/') {
      out.path = r.path;
    } else {
      const auto slash = base.path.rfind('/');
      std::string dir = slash == std::string::npos ? "/" : base.path.substr(0, slash + 1);
      out.path = dir + r.path;
    }
  }
  out.fragment = r.fragment;
  return Join(out);
}

}  // namespace vt::dom
