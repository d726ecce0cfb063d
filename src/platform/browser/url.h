#pragma once
// Small URL helpers used by the browser objects, the internet session and the URL cache.
// Everything here is pure text work: no I/O, safe on any thread.

#include <optional>
#include <string>
#include <string_view>

namespace vt::browser {

// The scheme of `url` in lower case ("http", "file", "about"), or "" when there is none.
std::string SchemeOf(std::string_view url);

// Decodes %XX escapes (invalid escapes are kept as written). `plus_as_space` also turns '+' into
// a space, as form-encoded text wants.
std::string PercentDecode(std::string_view text, bool plus_as_space = false);

// Escapes the bytes of a local path that may not appear in a file: URL (keeps '/').
std::string PercentEncodePath(std::string_view path);

// The local path named by a file: URL ("file:///tmp/a%20b.html" -> "/tmp/a b.html"); accepts
// "file:/x" and "file://localhost/x". nullopt for other schemes, other hosts, or a decoded path
// that contains a NUL byte.
std::optional<std::string> FilePathFromUrl(std::string_view url);

// The file: URL of an absolute local path.
std::string FileUrlFromPath(std::string_view path);

// What the user typed into an address bar, made into a URL: a URL with a scheme stays as it is,
// an absolute local path becomes a file: URL, anything else is taken as an http: host and path.
std::string NormalizeTypedUrl(std::string_view typed);

// `url` without its "#fragment".
std::string StripFragment(std::string_view url);

// Escapes text for HTML content and attribute values.
std::string HtmlEscape(std::string_view text);

}  // namespace vt::browser
