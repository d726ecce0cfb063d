#include "gumbo_peer.h"

#include <gumbo.h>

#include <vector>

namespace vt::bench {

namespace {

using dom::Namespace;
using dom::Node;
using dom::NodePtr;
using dom::TreeBuilder;

// Browsers stop nesting at this depth: deeper elements become siblings at the limit.
constexpr std::size_t kMaxDepth = 512;

Namespace NamespaceOf(GumboNamespaceEnum ns) {
  switch (ns) {
    case GUMBO_NAMESPACE_SVG:
      return Namespace::kSvg;
    case GUMBO_NAMESPACE_MATHML:
      return Namespace::kMathMl;
    default:
      return Namespace::kHtml;
  }
}

std::string ElementName(const GumboElement& e) {
  if (e.tag != GUMBO_TAG_UNKNOWN && e.tag_namespace != GUMBO_NAMESPACE_SVG) {
    return gumbo_normalized_tagname(e.tag);
  }
  GumboStringPiece piece = e.original_tag;
  if (piece.length == 0)
    return e.tag == GUMBO_TAG_UNKNOWN ? "unknown" : gumbo_normalized_tagname(e.tag);
  gumbo_tag_from_original_text(&piece);
  if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
    if (const char* adjusted = gumbo_normalize_svg_tagname(&piece)) return adjusted;
  }
  return dom::ToLowerAscii(std::string_view(piece.data, piece.length));
}

NodePtr Make(const GumboNode* g) {
  switch (g->type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
      const GumboElement& ge = g->v.element;
      std::vector<dom::Attribute> attrs;
      attrs.reserve(ge.attributes.length);
      for (unsigned i = 0; i < ge.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(ge.attributes.data[i]);
        attrs.push_back({a->name, a->value});
      }
      return TreeBuilder::NewElement(ElementName(ge), NamespaceOf(ge.tag_namespace), 0,
                                     std::move(attrs));
    }
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
      return Node::MakeText(g->v.text.text);
    case GUMBO_NODE_COMMENT:
      return Node::MakeComment(g->v.text.text);
    default:
      return nullptr;
  }
}

void CopyChildren(const GumboNode* from, Node* to, std::size_t depth, bool whole_document) {
  struct Level {
    const GumboVector* kids;
    unsigned next;
    Node* target;
    std::size_t depth;
  };
  std::vector<Level> stack;
  stack.push_back({&from->v.element.children, 0, to, depth});
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next >= top.kids->length) {
      stack.pop_back();
      continue;
    }
    const auto* g = static_cast<const GumboNode*>(top.kids->data[top.next++]);
    if (whole_document && g->type == GUMBO_NODE_TEMPLATE &&
        gumbo_get_attribute(&g->v.element.attributes, "shadowrootmode")) {
      continue;
    }
    NodePtr node = Make(g);
    if (!node) continue;
    Node* target = top.target;
    std::size_t level = top.depth;
    Node* raw = node.get();
    TreeBuilder::InsertRaw(target, std::move(node), nullptr);
    if (g->type == GUMBO_NODE_ELEMENT || g->type == GUMBO_NODE_TEMPLATE) {
      if (g->v.element.children.length == 0) continue;
      auto* e = static_cast<dom::Element*>(raw);
      if (e->templateContent()) {
        auto holder = dom::Element::Create("template");
        CopyChildren(g, holder.get(), 1, false);
        TreeBuilder::SetTemplateContent(*e, holder.get());
        continue;
      }
      Node* child_target = level + 1 >= kMaxDepth ? target : raw;
      stack.push_back(
          {&g->v.element.children, 0, child_target, child_target == raw ? level + 1 : level});
    }
  }
}

}  // namespace

std::shared_ptr<dom::DocumentNode> GumboParseDocument(std::string_view utf8) {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  GumboOutput* out = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  auto root = std::make_shared<dom::DocumentNode>();
  const GumboDocument& gd = out->document->v.document;
  if (gd.has_doctype)
    TreeBuilder::InsertRaw(root.get(), TreeBuilder::MakeDoctype(gd.name), nullptr);
  const GumboVector& kids = gd.children;
  for (unsigned i = 0; i < kids.length; ++i) {
    const auto* g = static_cast<const GumboNode*>(kids.data[i]);
    NodePtr node = Make(g);
    if (!node) continue;
    Node* raw = node.get();
    TreeBuilder::InsertRaw(root.get(), std::move(node), nullptr);
    if (g->type == GUMBO_NODE_ELEMENT) CopyChildren(g, raw, 1, true);
  }
  gumbo_destroy_output(&options, out);
  return root;
}

}  // namespace vt::bench
