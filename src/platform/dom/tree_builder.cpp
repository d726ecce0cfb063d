// Mark-up to tree: the HTML parser builds its own tree, which is copied into ours and freed.
#include <gumbo.h>

#include <cstring>

#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

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
  return ToLowerAscii(std::string_view(piece.data, piece.length));
}

}  // namespace

struct TreeBuilder::Impl {
  // Creates our node for a parser node (children are filled in by the walk).
  static NodePtr Make(const GumboNode* g) {
    switch (g->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboElement& ge = g->v.element;
        auto e = std::make_shared<Element>(Element::Key{}, ElementName(ge),
                                           NamespaceOf(ge.tag_namespace));
        e->tag_ = static_cast<std::uint16_t>(ge.tag);
        e->attrs_.reserve(ge.attributes.length);
        for (unsigned i = 0; i < ge.attributes.length; ++i) {
          const auto* a = static_cast<const GumboAttribute*>(ge.attributes.data[i]);
          e->attrs_.push_back({a->name, a->value});
        }
        if (g->type == GUMBO_NODE_TEMPLATE) {
          e->template_content_ = std::make_unique<std::vector<NodePtr>>();
        }
        return e;
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

  // Copies the children of `from` below `to`, without recursion. Template contents go to the
  // template's content list instead of its children.
  static void CopyChildren(const GumboNode* from, Node* to, std::size_t depth,
                           bool whole_document) {
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
      // A declarative shadow root becomes the host's shadow tree in a browser, which is not part
      // of the document's elements: leave it out.
      if (whole_document && g->type == GUMBO_NODE_TEMPLATE &&
          gumbo_get_attribute(&g->v.element.attributes, "shadowrootmode")) {
        continue;
      }
      NodePtr node = Make(g);
      if (!node) continue;
      Node* target = top.target;
      std::size_t level = top.depth;
      Node* raw = node.get();
      Append(target, std::move(node));
      if (g->type == GUMBO_NODE_ELEMENT || g->type == GUMBO_NODE_TEMPLATE) {
        if (g->v.element.children.length == 0) continue;
        auto* e = static_cast<Element*>(raw);
        if (e->template_content_) {
          // Template content lives outside the tree: build it under a scratch holder.
          auto holder = Element::Create("template");
          CopyChildren(g, holder.get(), 1, false);
          *e->template_content_ = TakeChildren(holder.get());
          continue;
        }
        Node* child_target = level + 1 >= kMaxDepth ? target : raw;
        stack.push_back(
            {&g->v.element.children, 0, child_target, child_target == raw ? level + 1 : level});
      }
    }
  }

  static void Append(Node* parent, NodePtr child) {
    child->parent_ = parent;
    parent->children_.push_back(std::move(child));
  }
  static std::vector<NodePtr> TakeChildren(Node* holder) {
    std::vector<NodePtr> result = std::move(holder->children_);
    holder->children_.clear();
    for (auto& n : result) n->parent_ = nullptr;
    return result;
  }
};

namespace {

GumboOutput* Parse(std::string_view text, GumboTag context, GumboNamespaceEnum ns) {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // errors are not reported anywhere: do not collect them
  options.fragment_context = context;
  options.fragment_namespace = ns;
  GumboOutput* out = gumbo_parse_with_options(&options, text.data(), text.size());
  if (!out) throw DomError("The mark-up could not be parsed.");
  return out;
}

struct OutputGuard {
  GumboOutput* out;
  ~OutputGuard() { gumbo_destroy_output(&kGumboDefaultOptions, out); }
};

}  // namespace

std::shared_ptr<DocumentNode> TreeBuilder::ParseDocument(std::string_view utf8) {
  GumboOutput* out = Parse(utf8, GUMBO_TAG_LAST, GUMBO_NAMESPACE_HTML);
  OutputGuard guard{out};
  auto root = std::make_shared<DocumentNode>();
  const GumboDocument& gd = out->document->v.document;
  if (gd.has_doctype) {
    Impl::Append(root.get(), MakeDoctype(gd.name));
  }
  // The document node's children are in document.children (comments and the HTML element).
  const GumboVector& kids = gd.children;
  for (unsigned i = 0; i < kids.length; ++i) {
    const auto* g = static_cast<const GumboNode*>(kids.data[i]);
    NodePtr node = Impl::Make(g);
    if (!node) continue;
    Node* raw = node.get();
    Impl::Append(root.get(), std::move(node));
    if (g->type == GUMBO_NODE_ELEMENT) Impl::CopyChildren(g, raw, 1, true);
  }
  return root;
}

std::vector<NodePtr> TreeBuilder::ParseFragment(std::string_view utf8, const Element* context) {
  GumboTag tag = GUMBO_TAG_BODY;
  GumboNamespaceEnum ns = GUMBO_NAMESPACE_HTML;
  if (context) {
    tag = static_cast<GumboTag>(context->tag_);
    if (context->ns() == Namespace::kSvg) ns = GUMBO_NAMESPACE_SVG;
    if (context->ns() == Namespace::kMathMl) ns = GUMBO_NAMESPACE_MATHML;
    if (tag == GUMBO_TAG_UNKNOWN || tag >= GUMBO_TAG_LAST) {
      tag = gumbo_tag_enum(context->localName().c_str());
      if (tag == GUMBO_TAG_UNKNOWN) tag = GUMBO_TAG_DIV;
    }
    // A whole-document context has nothing to parse into; take the body's rules.
    if (tag == GUMBO_TAG_HTML || tag == GUMBO_TAG_HEAD) tag = GUMBO_TAG_BODY;
  }
  GumboOutput* out = Parse(utf8, tag, ns);
  OutputGuard guard{out};
  // The fragment's nodes are the children of the parser's root element.
  auto holder = Element::Create("div");
  Impl::CopyChildren(out->root, holder.get(), 1, false);
  return Impl::TakeChildren(holder.get());
}

}  // namespace vt::dom
