#include "shell/mirror.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/text/escape.h"
#include "shell/mirror_urls.h"
#include "shell/served_files.h"

namespace vt::shell {
namespace {

constexpr std::array<std::string_view, 18> kVoid = {
    "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr",
    "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
// Elements whose content the display's browser reads as raw text up to their end tag.
constexpr std::array<std::string_view, 6> kRawText = {"style",  "script",  "xmp",
                                                      "iframe", "noembed", "noframes"};
// Elements that change how the browser reads what follows their start tag, so nothing inside
// them may be written raw: the raw-text ones, RCDATA (title, textarea), plaintext, noscript
// (raw text where the browser runs scripts), and those inside which the browser ignores or
// moves a <style> start tag (select, frameset, template).
constexpr std::array<std::string_view, 13> kOpaque = {
    "style",    "script",    "xmp",      "iframe",   "noembed", "noframes", "title",
    "textarea", "plaintext", "noscript", "template", "select",  "frameset"};
// Attributes whose value is one address.
constexpr std::array<std::string_view, 14> kUrlAttributes = {
    "src",    "href",   "background", "poster",   "action",   "formaction", "data",
    "lowsrc", "dynsrc", "cite",       "longdesc", "codebase", "manifest",   "icon"};
// Attributes left out whatever their value: handlers are caught by their "on" prefix; these
// would run mark-up, send requests the user did not make or choose the referrer.
constexpr std::array<std::string_view, 5> kDropped = {"srcdoc", "ping", "referrerpolicy", "nonce",
                                                      "attributionsrc"};

template <size_t N>
bool OneOf(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool StartsWithScheme(std::string_view value, std::string_view scheme) {
  // Browsers ignore leading white space and control characters, and tabs or newlines inside.
  std::string compact;
  for (unsigned char c : value) {
    if (c <= ' ') continue;
    compact += static_cast<char>(std::tolower(c));
    if (compact.size() >= scheme.size()) break;
  }
  return compact == scheme;
}

bool IsWebBase(std::string_view url) {
  return StartsWithScheme(url, "http:") || StartsWithScheme(url, "https:");
}

// A name the browser's tokenizer reads back as one name: no white space, quote, '<', '>', '/',
// '=' or control character. Names from the process's parser always are; this guards the rest.
bool WritableName(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c <= ' ' || c == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '/' ||
        c == '=')
      return false;
  }
  return true;
}

// Raw text of element `name` made unable to end the element early: "</name" (any case) becomes
// "<\/name", which style sheets read as the same characters inside strings and comments. In a
// script, "<!--" would let a later "<script" swallow the end tag, so it becomes "<\!--".
std::string NeutralizeRawText(std::string_view text, std::string_view name, bool script) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] != '<' || i + 1 >= text.size()) continue;
    if (text[i + 1] == '/' && Lower(text.substr(i + 2, name.size())) == name) {
      out += '\\';
    } else if (script && text.substr(i + 1, 3) == "!--") {
      out += '\\';
    }
  }
  return out;
}

// Comment text the browser reads back as one comment: it must not open with ">" or "->", nor
// hold "-->" or "--!>" (either ends a comment), nor end in "-" or "--!" before our "-->".
std::string SafeComment(std::string_view data) {
  std::string out;
  if (!data.empty() && (data.front() == '>' || data.substr(0, 2) == "->")) out += ' ';
  for (size_t i = 0; i < data.size(); ++i) {
    out += data[i];
    if (data[i] == '-' && data.substr(i, 3) == "-->") {
      out += ' ';
    } else if (data[i] == '-' && data.substr(i, 4) == "--!>") {
      out += "-! ";
      i += 2;
    }
  }
  if (!out.empty() && (out.back() == '-' || out.back() == '!')) out += ' ';
  return out;
}

std::string DoctypeName(std::string_view name) {
  std::string out;
  for (unsigned char c : name)
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ':')
      out += static_cast<char>(c);
  return out.empty() ? "html" : out;
}

std::optional<std::string> MapUrl(const dom::Document& document, std::string_view value,
                                  const MirrorOptions& options) {
  std::string_view url = Trim(value);
  if (StartsWithScheme(url, "javascript:") || StartsWithScheme(url, "vbscript:") ||
      StartsWithScheme(url, "data:text/html"))
    return std::nullopt;
  // A reference within the document itself loads nothing and must stay local (SVG uses it).
  if (!url.empty() && url.front() == '#') return std::string(url);
  std::string absolute = url.empty() ? document.BaseURL() : document.ResolveURL(url);
  if (StartsWithScheme(absolute, "file:")) {
    std::string routed = options.local_file ? options.local_file(absolute) : FileRoute(absolute);
    if (routed.empty()) return std::nullopt;
    return routed;
  }
  // Whatever did not resolve to an address with a scheme would resolve against the display.
  auto colon = absolute.find(':');
  auto slash = absolute.find_first_of("/?#");
  if (colon == std::string::npos || colon == 0 || (slash != std::string::npos && slash < colon))
    return std::nullopt;
  return absolute;
}

class Writer {
 public:
  Writer(const dom::Document& document, const MirrorOptions& options)
      : document_(document), options_(options) {
    map_ = [this](std::string_view url) { return MapUrl(document_, url, options_); };
  }

  std::string Run() {
    for (const auto& child : document_.root()->children()) Node(*child, nullptr, 0);
    return std::move(out_);
  }

 private:
  // `parent`: the element that holds `node` (null at the top); `opaque`: how many of its
  // ancestors change how the browser reads their content (see kOpaque) or are foreign.
  void Node(const dom::Node& node, const dom::Element* parent, int opaque) {
    switch (node.type()) {
      case dom::NodeType::kDoctype:
        out_ += "<!DOCTYPE " + DoctypeName(node.data()) + ">";
        break;
      case dom::NodeType::kText:
        Text(node.data(), parent, opaque);
        break;
      case dom::NodeType::kComment:
        out_ += "<!--";
        out_ += SafeComment(node.data());
        out_ += "-->";
        break;
      case dom::NodeType::kElement:
        Element(static_cast<const dom::Element&>(node), opaque);
        break;
      case dom::NodeType::kDocument:
        for (const auto& child : node.children()) Node(*child, nullptr, 0);
        break;
    }
  }

  void Text(const std::string& text, const dom::Element* parent, int opaque) {
    // Raw text is written raw only where the browser certainly reads it as raw text of that
    // element: an HTML raw-text element with no foreign or opaque element above it. Everywhere
    // else the text is escaped; should the browser still read it raw, it shows the references
    // as they are, and no text of the page becomes mark-up.
    if (parent && parent->ns() == dom::Namespace::kHtml && opaque == 1) {
      const std::string& name = parent->localName();
      if (OneOf(kRawText, name)) {
        out_ += NeutralizeRawText(name == "style" ? RewriteCssUrls(text, map_) : text, name,
                                  name == "script");
        return;
      }
      if (name == "plaintext") {
        out_ += text;  // everything after <plaintext> is text to the browser anyway
        return;
      }
    }
    if (parent && parent->Is("style")) {
      text::AppendEscapedHtml(out_, RewriteCssUrls(text, map_));
      return;
    }
    text::AppendEscapedHtml(out_, text);
  }

  bool LeftOut(const dom::Element& e) const {
    if (e.ns() != dom::Namespace::kHtml) return e.localName() == "script";
    if (e.Is("meta")) {
      std::string equiv = Lower(Trim(e.getAttribute("http-equiv")));
      if (equiv == "refresh" || equiv == "set-cookie") return true;
      return Lower(Trim(e.getAttribute("name"))) == "referrer";
    }
    // The mirror writes its own base (see WriteBase); the page's would be taken relative to the
    // display server.
    return e.Is("base");
  }

  void Element(const dom::Element& e, int opaque) {
    if (LeftOut(e)) return;
    const std::string& name = e.localName();
    const bool html = e.ns() == dom::Namespace::kHtml;
    const int inner_opaque =
        opaque + ((!html || OneOf(kOpaque, name) || name == "svg" || name == "math") ? 1 : 0);
    if (!WritableName(name)) {
      // Not an element the browser could be given by mark-up: its content stands in its place.
      for (const auto& child : e.children()) Node(*child, &e, inner_opaque);
      return;
    }
    out_ += '<';
    out_ += name;
    const bool frame = html && (e.Is("iframe") || e.Is("frame"));
    // A script stays as a data block that no browser runs, so the text of the page and the
    // places of its elements keep their shape for selections.
    const bool script = html && e.Is("script");
    if (script) out_ += " type=\"text/x-vellumtrace-inert\"";
    for (const auto& attr : e.attributes()) {
      if (attr.name == "data-vt-si" || !WritableName(attr.name)) continue;
      if (script && (attr.name == "type" || attr.name == "src")) continue;
      if (frame && attr.name == "src") continue;
      auto value = MirrorAttributeValue(document_, e, attr.name, attr.value, options_);
      if (!value) continue;
      out_ += ' ';
      out_ += attr.name;
      out_ += "=\"";
      text::AppendEscapedHtml(out_, *value, text::HtmlQuotes::kDouble);
      out_ += '"';
    }
    if (frame) {
      std::string source = options_.frame_source ? options_.frame_source(e) : std::string();
      out_ += " src=\"";
      text::AppendEscapedHtml(out_, source.empty() ? "about:blank" : source,
                              text::HtmlQuotes::kDouble);
      out_ += '"';
    }
    out_ += " data-vt-si=\"" + std::to_string(e.sourceIndex()) + "\">";
    if (html && e.Is("head")) WriteBase();
    if (html && OneOf(kVoid, name)) return;
    if (const auto* content = e.templateContent()) {
      for (const auto& child : *content) Node(*child, &e, inner_opaque);
    }
    for (const auto& child : e.children()) Node(*child, &e, inner_opaque);
    out_ += "</";
    out_ += name;
    out_ += '>';
  }

  // The base of every address left relative: the page's own base when it is on the web; else
  // its file: base or about:blank, against which the display's browser loads nothing.
  void WriteBase() {
    if (base_written_) return;
    base_written_ = true;
    std::string base = document_.BaseURL();
    if (!IsWebBase(base) && !StartsWithScheme(base, "file:")) base = "about:blank";
    out_ += "<base href=\"";
    text::AppendEscapedHtml(out_, base, text::HtmlQuotes::kDouble);
    out_ += "\">";
  }

  const dom::Document& document_;
  const MirrorOptions& options_;
  UrlMapper map_;
  std::string out_;
  bool base_written_ = false;
};

}  // namespace

std::string FileRoute(std::string_view url) {
  auto path = FileUrlToPath(url);
  if (!path) return {};
  return "/file?path=" + PercentEncode(path->string());
}

std::optional<std::string> MirrorAttributeValue(const dom::Document& document,
                                                const dom::Element& element, std::string_view name,
                                                std::string_view value,
                                                const MirrorOptions& options) {
  std::string lower = Lower(name);
  if (lower.size() > 2 && lower.compare(0, 2, "on") == 0) return std::nullopt;
  if (OneOf(kDropped, lower)) return std::nullopt;
  auto map = [&](std::string_view url) { return MapUrl(document, url, options); };
  if (lower == "style") return RewriteCssUrls(value, map);
  if (lower == "srcset" || lower == "imagesrcset") return RewriteSrcset(value, map);
  // A usemap names a map of this document by its fragment.
  if (lower == "usemap" && element.ns() == dom::Namespace::kHtml) return std::string(value);
  if (!OneOf(kUrlAttributes, lower) && lower != "xlink:href") return std::string(value);
  return map(value);
}

std::string SerializeMirror(const dom::Document& document, const MirrorOptions& options) {
  document.EnsureNumbered();
  return Writer(document, options).Run();
}

}  // namespace vt::shell
