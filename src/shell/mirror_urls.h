#pragma once
// The addresses inside a mirrored page's mark-up and style sheets, rewritten by one function so
// that none of them is left relative (a relative address would resolve against the display
// server, not the page). Pure text work; safe on any thread.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vt::shell {

// Maps one address as written in the page to the address the display loads; nullopt drops it.
using UrlMapper = std::function<std::optional<std::string>(std::string_view url)>;

// A style sheet (or a style attribute's declarations) with every url(...), @import string and
// image-set() string passed through `map`; a dropped address becomes url("") (which loads
// nothing). Everything else, comments included, is kept byte for byte.
std::string RewriteCssUrls(std::string_view css, const UrlMapper& map);

// A srcset value ("a.png 1x, b.png 2x") with each candidate's address passed through `map`;
// dropped candidates are left out.
std::string RewriteSrcset(std::string_view srcset, const UrlMapper& map);

}  // namespace vt::shell
