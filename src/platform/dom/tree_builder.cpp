// Mark-up to tree: the HTML parser of platform/html builds our nodes directly.
#include "platform/dom/internal.h"
#include "platform/html/parser.h"

namespace vt::dom {

namespace {
TreeBuilder::DocumentParser g_document_parser = nullptr;
}  // namespace

TreeBuilder::DocumentParser TreeBuilder::SetDocumentParser(DocumentParser parser) {
  DocumentParser previous = g_document_parser;
  g_document_parser = parser;
  return previous;
}

std::shared_ptr<DocumentNode> TreeBuilder::ParseDocument(std::string_view utf8) {
  if (g_document_parser) return g_document_parser(utf8);
  html::ParseOptions options;
  // A page's <template shadowrootmode> becomes its host's shadow tree, as in a browser: not part
  // of the document's elements.
  options.declarative_shadow_roots = true;
  return html::ParseDocument(utf8, nullptr, options);
}

std::vector<NodePtr> TreeBuilder::ParseFragment(std::string_view utf8, const Element* context) {
  // A whole-document context has nothing to parse into; take the body's rules.
  if (context && context->ns() == Namespace::kHtml &&
      (context->localName() == "html" || context->localName() == "head")) {
    context = nullptr;
  }
  return html::ParseFragment(utf8, context);
}

}  // namespace vt::dom
