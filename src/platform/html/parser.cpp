#include "platform/html/parser.h"

#include "platform/html/tree_construction.h"

namespace vt::html {

std::shared_ptr<dom::DocumentNode> ParseDocument(std::string_view utf8, DocumentInfo* info,
                                                 const ParseOptions& options) {
  std::string storage;
  std::string_view text = NormaliseInput(utf8, storage);
  auto document = std::make_shared<dom::DocumentNode>();
  TreeConstruction parser(text, options);
  parser.RunDocument(document.get(), info);
  return document;
}

std::vector<dom::NodePtr> ParseFragment(std::string_view utf8, const dom::Element* context,
                                        const ParseOptions& options) {
  std::string storage;
  std::string_view text = NormaliseInput(utf8, storage);
  std::string name = context ? context->localName() : std::string("body");
  dom::Namespace ns = context ? context->ns() : dom::Namespace::kHtml;
  const dom::Element* form = nullptr;
  for (const dom::Node* n = context; n; n = n->parent()) {
    const dom::Element* e = dom::AsElement(n);
    if (e && e->Is("form")) {
      form = e;
      break;
    }
  }
  TreeConstruction parser(text, options);
  return parser.RunFragment(name, ns, form);
}

}  // namespace vt::html
