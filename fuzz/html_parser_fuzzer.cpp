// libFuzzer target for the HTML parser: any bytes, parsed as a document and as a fragment in a
// context picked by the first byte. Aborts when the built tree's links disagree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dom/internal.h"
#include "platform/html/parser.h"

namespace {

struct Context {
  const char* name;
  vt::dom::Namespace ns;
};

constexpr Context kContexts[] = {
    {"body", vt::dom::Namespace::kHtml},      {"table", vt::dom::Namespace::kHtml},
    {"tr", vt::dom::Namespace::kHtml},        {"td", vt::dom::Namespace::kHtml},
    {"select", vt::dom::Namespace::kHtml},    {"template", vt::dom::Namespace::kHtml},
    {"textarea", vt::dom::Namespace::kHtml},  {"script", vt::dom::Namespace::kHtml},
    {"plaintext", vt::dom::Namespace::kHtml}, {"html", vt::dom::Namespace::kHtml},
    {"svg", vt::dom::Namespace::kSvg},        {"foreignObject", vt::dom::Namespace::kSvg},
    {"math", vt::dom::Namespace::kMathMl},    {"annotation-xml", vt::dom::Namespace::kMathMl},
    {"colgroup", vt::dom::Namespace::kHtml},  {"frameset", vt::dom::Namespace::kHtml},
};

void CheckLinks(const vt::dom::Node& root) {
  vt::dom::WalkTree(
      root,
      [](const vt::dom::Node& n) {
        for (const auto& child : n.children()) {
          if (!child || child->parent() != &n) std::abort();
        }
        if (const auto* e = vt::dom::AsElement(&n); e && e->templateContent()) {
          for (const auto& c : *e->templateContent()) {
            if (c->parent()) std::abort();
            CheckLinks(*c);
          }
        }
        return true;
      },
      [](const vt::dom::Node&) {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  {
    vt::html::ParseOptions options;
    options.declarative_shadow_roots = true;  // as the document model parses pages
    auto doc = vt::html::ParseDocument(text, nullptr, options);
    CheckLinks(*doc);
    std::string out;
    vt::dom::SerializeNode(*doc, out);
  }
  if (size > 0) {
    const Context& c = kContexts[data[0] % (sizeof kContexts / sizeof kContexts[0])];
    auto context = vt::dom::Element::Create(c.name, c.ns);
    auto holder = vt::dom::Element::Create("div");
    for (auto& node : vt::html::ParseFragment(text.substr(1), context.get())) {
      holder->AppendChild(node);
    }
    CheckLinks(*holder);
  }
  return 0;
}
