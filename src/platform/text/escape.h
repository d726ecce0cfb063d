#pragma once
// Escaping of text for HTML and of bytes in URLs, shared by every layer that writes a page or
// reads an address. Pure functions; safe on any thread.
#include <string>
#include <string_view>

namespace vt::text {

// Which quotes EscapeHtml writes as references besides & < and >.
enum class HtmlQuotes {
  kNone,    // element content: & < > only (the generated pages rely on these exact bytes)
  kDouble,  // a double-quoted attribute value: also " as &quot;
  kBoth,    // either kind of quoted attribute: also " as &quot; and ' as &#39;
};

// `text` with & < > (and the chosen quotes) written as character references.
std::string EscapeHtml(std::string_view text, HtmlQuotes quotes = HtmlQuotes::kNone);
// The same, appended to `out`.
void AppendEscapedHtml(std::string& out, std::string_view text,
                       HtmlQuotes quotes = HtmlQuotes::kNone);

// Decodes %XX escapes (either case of hex digit); an escape that is not followed by two hex
// digits is kept as written. `plus_as_space` also turns '+' into a space, as form-encoded text
// wants.
std::string PercentDecode(std::string_view text, bool plus_as_space = false);

}  // namespace vt::text
