#pragma once
// Decoding page bytes to UTF-8.

#include <string>
#include <string_view>

namespace vt::dom {

struct DecodedText {
  std::string text;     // UTF-8; malformed input becomes U+FFFD
  std::string charset;  // the canonical name used: "utf-8", "windows-1252", "utf-16le", ...
  std::string source;   // where it came from: "bom", "http", "meta", "sniffed" or "default"
};

// Decodes a page: a byte-order mark wins, then the charset of the HTTP `content_type`, then a
// META declaration within the first 1024 bytes; with none of them, valid UTF-8 is taken as
// UTF-8 and anything else as windows-1252.
DecodedText DecodePage(std::string_view bytes, std::string_view content_type = {});

// The canonical name of a charset label ("latin1" -> "windows-1252", "UTF8" -> "utf-8"), or ""
// when the label is unknown.
std::string CanonicalCharset(std::string_view label);

// Decodes `bytes` in the canonical charset `charset` to UTF-8. Unknown charsets decode as
// windows-1252.
std::string DecodeToUtf8(std::string_view bytes, std::string_view charset);

// The charset a META prescan of the first 1024 bytes finds, canonical, or "".
std::string PrescanMetaCharset(std::string_view bytes);

// The charset parameter of a Content-Type value ("text/html; charset=UTF-8" -> "UTF-8"), or "".
std::string CharsetOfContentType(std::string_view content_type);

}  // namespace vt::dom
