#include "shell/mirror.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "shell/served_files.h"

namespace vt::shell {
namespace {

constexpr std::array<std::string_view, 18> kVoid = {
    "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr",
    "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
constexpr std::array<std::string_view, 8> kRawText = {
    "style", "script", "xmp", "iframe", "noembed", "noframes", "plaintext", "noscript"};
// Attributes whose value is an address.
constexpr std::array<std::string_view, 9> kUrlAttributes = {
    "src", "href", "background", "poster", "action", "formaction", "data", "lowsrc", "dynsrc"};

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

void EscapeInto(std::string& out, std::string_view text, bool attribute) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += attribute ? "<" : "&lt;";
        break;
      case '>':
        out += attribute ? ">" : "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      default:
        out += c;
    }
  }
}

bool IsWebBase(std::string_view url) {
  return StartsWithScheme(url, "http:") || StartsWithScheme(url, "https:");
}

class Writer {
 public:
  Writer(const dom::Document& document, const MirrorOptions& options)
      : document_(document), options_(options) {}

  std::string Run() {
    for (const auto& child : document_.root()->children()) Node(*child, false);
    return std::move(out_);
  }

 private:
  void Node(const dom::Node& node, bool raw) {
    switch (node.type()) {
      case dom::NodeType::kDoctype:
        out_ += "<!DOCTYPE " + (node.data().empty() ? std::string("html") : node.data()) + ">";
        break;
      case dom::NodeType::kText:
        if (raw)
          out_ += node.data();
        else
          EscapeInto(out_, node.data(), false);
        break;
      case dom::NodeType::kComment:
        out_ += "<!--";
        out_ += node.data();
        out_ += "-->";
        break;
      case dom::NodeType::kElement:
        Element(static_cast<const dom::Element&>(node));
        break;
      case dom::NodeType::kDocument:
        for (const auto& child : node.children()) Node(*child, false);
        break;
    }
  }

  bool LeftOut(const dom::Element& e) const {
    if (e.ns() != dom::Namespace::kHtml) return e.localName() == "script";
    if (e.Is("meta")) {
      std::string equiv = Lower(e.getAttribute("http-equiv"));
      return equiv == "refresh" || equiv == "set-cookie";
    }
    // A base naming a local folder would send relative addresses where the display cannot go;
    // the mirror writes those addresses out in full instead.
    if (e.Is("base")) return !IsWebBase(document_.BaseURL());
    return false;
  }

  void Element(const dom::Element& e) {
    if (LeftOut(e)) return;
    const std::string& name = e.localName();
    const bool html = e.ns() == dom::Namespace::kHtml;
    out_ += '<';
    out_ += name;
    const bool frame = html && (e.Is("iframe") || e.Is("frame"));
    // A script stays as a data block that no browser runs, so the text of the page and the
    // places of its elements keep their shape for selections.
    const bool script = html && e.Is("script");
    if (script) out_ += " type=\"text/x-vellumtrace-inert\"";
    for (const auto& attr : e.attributes()) {
      if (attr.name == "data-vt-si") continue;
      if (script && (attr.name == "type" || attr.name == "src")) continue;
      if (frame && attr.name == "src") continue;
      auto value = MirrorAttributeValue(document_, e, attr.name, attr.value);
      if (!value) continue;
      out_ += ' ';
      out_ += attr.name;
      out_ += "=\"";
      EscapeInto(out_, *value, true);
      out_ += '"';
    }
    if (frame) {
      std::string source = options_.frame_source ? options_.frame_source(e) : std::string();
      out_ += " src=\"";
      EscapeInto(out_, source.empty() ? "about:blank" : source, true);
      out_ += '"';
    }
    out_ += " data-vt-si=\"" + std::to_string(e.sourceIndex()) + "\">";
    if (html && e.Is("head") && !base_written_) {
      base_written_ = true;
      if (IsWebBase(document_.BaseURL()) && !HasBaseElement(e)) {
        out_ += "<base href=\"";
        EscapeInto(out_, document_.BaseURL(), true);
        out_ += "\">";
      }
    }
    if (html && OneOf(kVoid, name)) return;
    const bool raw = html && OneOf(kRawText, name);
    if (const auto* content = e.templateContent()) {
      for (const auto& child : *content) Node(*child, false);
    }
    for (const auto& child : e.children()) Node(*child, raw);
    out_ += "</";
    out_ += name;
    out_ += '>';
  }

  static bool HasBaseElement(const dom::Element& head) {
    return std::any_of(head.children().begin(), head.children().end(), [](const dom::NodePtr& n) {
      auto* e = dom::AsElement(n.get());
      return e && e->Is("base") && e->hasAttribute("href");
    });
  }

  const dom::Document& document_;
  const MirrorOptions& options_;
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
                                                std::string_view value) {
  std::string lower = Lower(name);
  if (lower.size() > 2 && lower.compare(0, 2, "on") == 0) return std::nullopt;
  if (lower == "srcdoc") return std::nullopt;
  const bool url = OneOf(kUrlAttributes, lower) || lower == "xlink:href";
  if (!url) return std::string(value);
  if (StartsWithScheme(value, "javascript:") || StartsWithScheme(value, "vbscript:"))
    return std::nullopt;
  if (StartsWithScheme(value, "data:text/html")) return std::nullopt;
  (void)element;
  std::string absolute = document.ResolveURL(value);
  if (StartsWithScheme(absolute, "file:")) return FileRoute(absolute);
  if (!IsWebBase(document.BaseURL()) && !absolute.empty()) return absolute;
  return std::string(value);
}

std::string SerializeMirror(const dom::Document& document, const MirrorOptions& options) {
  document.EnsureNumbered();
  return Writer(document, options).Run();
}

}  // namespace vt::shell
