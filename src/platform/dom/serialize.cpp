// Tree to mark-up, as browsers serialise HTML.
#include <array>
#include <string>

#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

bool IsOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
  for (auto n : names) {
    if (name == n) return true;
  }
  return false;
}

bool IsRawTextParent(const Node* parent) {
  const Element* e = AsElement(parent);
  return e && e->ns() == Namespace::kHtml &&
         IsOneOf(e->localName(),
                 {"style", "script", "xmp", "iframe", "noembed", "noframes", "plaintext"});
}

void OpenTag(const Element& e, std::string& out, SerializeFlags flags) {
  out += '<';
  out += e.localName();
  for (const auto& a : e.attributes()) {
    out += ' ';
    out += a.name;
    out += "=\"";
    AppendEscapedText(a.value, out, true);
    out += '"';
  }
  if (flags.annotate_source_index) {
    const int index = e.sourceIndex();
    if (index >= 0) {
      out += " data-vt-si=\"";
      out += std::to_string(index);
      out += '"';
    }
  }
  out += '>';
}

}  // namespace

bool IsVoidElement(const Element& e) {
  return e.ns() == Namespace::kHtml &&
         IsOneOf(e.localName(),
                 {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img",
                  "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

void AppendEscapedText(std::string_view text, std::string& out, bool attribute) {
  // Runs of ordinary characters are copied whole; only the few that need escaping stop the scan.
  static constexpr auto kStops = [] {
    std::array<unsigned char, 256> t{};  // 1: stops text, 2: stops attribute values
    t['&'] = 3;
    t['<'] = 1;
    t['>'] = 1;
    t['"'] = 2;
    t[0xC2] = 3;
    return t;
  }();
  const unsigned char mask = attribute ? 2 : 1;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t next = i;
    while (next < text.size() && !(kStops[static_cast<unsigned char>(text[next])] & mask)) ++next;
    if (next == text.size()) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, next - i));
    i = next + 1;
    switch (text[next]) {
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
        out += "&quot;";
        break;
      default:  // a lead byte 0xC2: U+00A0 is written as &nbsp;
        if (i < text.size() && text[i] == '\xA0') {
          out += "&nbsp;";
          ++i;
        } else {
          out += text[next];
        }
    }
  }
}

void SerializeNode(const Node& node, std::string& out, SerializeFlags flags) {
  WalkTree(
      node,
      [&](const Node& n) {
        switch (n.type()) {
          case NodeType::kDocument:
            return true;
          case NodeType::kDoctype:
            out += "<!DOCTYPE ";
            out += n.data();
            out += '>';
            return false;
          case NodeType::kComment:
            out += "<!--";
            out += n.data();
            out += "-->";
            return false;
          case NodeType::kText:
            if (IsRawTextParent(n.parent())) {
              out += n.data();
            } else {
              AppendEscapedText(n.data(), out, false);
            }
            return false;
          case NodeType::kElement: {
            const auto& e = static_cast<const Element&>(n);
            OpenTag(e, out, flags);
            if (const auto* content = e.templateContent()) {
              for (const auto& c : *content) SerializeNode(*c, out, flags);
              return false;
            }
            return !IsVoidElement(e);
          }
        }
        return false;
      },
      [&](const Node& n) {
        if (!n.IsElement()) return;
        const auto& e = static_cast<const Element&>(n);
        if (IsVoidElement(e)) return;
        out += "</";
        out += e.localName();
        out += '>';
      });
}

void SerializeChildren(const Node& node, std::string& out, SerializeFlags flags) {
  for (const auto& child : node.children()) SerializeNode(*child, out, flags);
}

}  // namespace vt::dom
