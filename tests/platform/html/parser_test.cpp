// Behaviour of the HTML parser beyond the html5lib files: limits, input repair and how its
// trees fit the document model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/dom/internal.h"
#include "platform/html/parser.h"
#include "platform/html/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vt::html {
namespace {

dom::Element* Body(const dom::Node& doc) {
  auto* html = dom::AsElement(doc.children().back().get());
  return dom::AsElement(html->children().back().get());
}

std::string BodyText(std::string_view page) {
  auto doc = ParseDocument(page);
  return Body(*doc)->TextContent();
}

TEST(HtmlParser, NestingDeeperThanBrowsersAllowGoesBesideTheDeepestElement) {
  std::string page;
  for (int i = 0; i < 600; ++i) page += "<div>";
  page += "deep";
  auto doc = ParseDocument(page);
  std::size_t divs = 0, max_depth = 0;
  std::vector<std::size_t> depth{0};
  dom::WalkTree(
      *doc,
      [&](const dom::Node& n) {
        std::size_t d = depth.back() + 1;
        max_depth = std::max(max_depth, d);
        depth.push_back(d);
        if (const auto* e = dom::AsElement(&n); e && e->Is("div")) ++divs;
        return true;
      },
      [&](const dom::Node&) { depth.pop_back(); });
  EXPECT_EQ(divs, 600u);
  EXPECT_EQ(max_depth, kMaxTreeDepth + 1);  // the document node and 512 elements
  EXPECT_EQ(Body(*doc)->TextContent(), "deep");
}

TEST(HtmlParser, CharacterReferencesFollowTheFullTableAndNumericRules) {
  EXPECT_EQ(BodyText("&CounterClockwiseContourIntegral;&amp;&notit;&lt"), "\u2233&\u00acit;<");
  // Too large for 32 bits, out of range, NUL and surrogates become U+FFFD.
  EXPECT_EQ(BodyText("&#x110000000041;|&#1114112;|&#0;|&#xD800;"), "\uFFFD|\uFFFD|\uFFFD|\uFFFD");
  // C1 controls name the windows-1252 characters.
  EXPECT_EQ(BodyText("&#x80;&#150;"), "\u20AC\u2013");
  auto doc = ParseDocument("<a href='?a=1&copy=2&amp;b&not'>");
  auto* a = dom::AsElement(Body(*doc)->children().front().get());
  EXPECT_EQ(a->getAttribute("href"), "?a=1&copy=2&b\u00ac");
}

TEST(HtmlParser, InvalidUtf8AndCarriageReturnsAreRepairedBeforeTokenizing) {
  EXPECT_EQ(BodyText("a\xFF"
                     "b\xE2\x82"
                     "c\r\nd\re"),
            "a\uFFFDb\uFFFDc\nd\ne");
  std::string storage;
  std::string clean = "plain text, \xC3\xA9t\xC3\xA9";
  EXPECT_EQ(NormaliseInput(clean, storage).data(), clean.data());  // no copy when clean
  // Long runs are copied whole between the bytes that need work, at any alignment.
  const std::string run = "0123456789abcdefghij";
  for (std::size_t cut = 0; cut < 9; ++cut) {
    const std::string lead = run.substr(0, cut);
    const std::string input = lead + "\r\n" + run + "\r" + run + "\xC3\xA9" + run + "\xFF\r" + lead;
    EXPECT_EQ(NormaliseInput(input, storage),
              lead + "\n" + run + "\n" + run + "\xC3\xA9" + run + "\xEF\xBF\xBD\n" + lead);
  }
}

TEST(HtmlParser, FirstOfDuplicateAttributesWinsAlsoOnElementsWithManyAttributes) {
  std::string page = "<p";
  for (int i = 0; i < 40; ++i) page += " a" + std::to_string(i) + "=" + std::to_string(i);
  page += " a3=dup a39=dup A0=dup>";
  auto doc = ParseDocument(page);
  auto* p = dom::AsElement(Body(*doc)->children().front().get());
  ASSERT_EQ(p->attributes().size(), 40u);
  EXPECT_EQ(p->getAttribute("a3"), "3");
  EXPECT_EQ(p->getAttribute("a39"), "39");
  EXPECT_EQ(p->getAttribute("a0"), "0");
}

TEST(HtmlParser, FragmentsTakeTheirContextsRulesAndFormAncestor) {
  auto form = dom::Element::Create("form");
  auto div = dom::Element::Create("div");
  form->AppendChild(div);
  // Inside a form, another form start tag is ignored; its input stays.
  auto nodes = ParseFragment("<form><input name=q></form>x", div.get());
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(dom::AsElement(nodes[0])->localName(), "input");
  EXPECT_EQ(nodes[1]->data(), "x");
  // A row context makes cells of cell mark-up; a textarea context keeps mark-up as text.
  auto tr = dom::Element::Create("tr");
  nodes = ParseFragment("<td>1<td>2", tr.get());
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(dom::AsElement(nodes[1])->localName(), "td");
  auto textarea = dom::Element::Create("textarea");
  nodes = ParseFragment("<b>&amp;</b>", textarea.get());
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0]->data(), "<b>&</b>");
  for (const auto& n : nodes) EXPECT_EQ(n->parent(), nullptr);
}

TEST(HtmlParser, TemplateContentStaysOutsideTheChildren) {
  auto doc = ParseDocument("<template><tr><td>cell</td></tr></template>");
  auto* head = dom::AsElement(dom::AsElement(doc->children().back().get())->children()[0].get());
  auto* templ = dom::AsElement(head->children().front().get());
  ASSERT_TRUE(templ->Is("template"));
  EXPECT_TRUE(templ->children().empty());
  ASSERT_NE(templ->templateContent(), nullptr);
  ASSERT_EQ(templ->templateContent()->size(), 1u);
  EXPECT_EQ(dom::AsElement(templ->templateContent()->front())->localName(), "tr");
  EXPECT_EQ(templ->templateContent()->front()->parent(), nullptr);
}

TEST(HtmlParser, DoctypesSetTheDocumentsMode) {
  DocumentInfo info;
  ParseDocument("<!DOCTYPE html><p>", &info);
  EXPECT_EQ(info.mode, DocumentInfo::Mode::kNoQuirks);
  ParseDocument("<p>no doctype", &info);
  EXPECT_EQ(info.mode, DocumentInfo::Mode::kQuirks);
  ParseDocument(R"(<!DOCTYPE html PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">)", &info);
  EXPECT_EQ(info.mode, DocumentInfo::Mode::kQuirks);
  ParseDocument(
      R"(<!DOCTYPE html PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">)",
      &info);
  EXPECT_EQ(info.mode, DocumentInfo::Mode::kLimitedQuirks);
  // In quirks mode a table does not close an open paragraph.
  auto doc = ParseDocument("<p><table>");
  EXPECT_EQ(dom::AsElement(Body(*doc)->children().front().get())->children().size(), 1u);
}

// The fuzzer's corpus (fuzz/corpus/html_parser) replayed through the fuzz target, which aborts
// on a tree whose links disagree; sanitizer builds catch memory errors on the same inputs.
TEST(HtmlParser, FuzzCorpusReplaysCleanly) {
  std::filesystem::path dir = std::filesystem::path(VT_SOURCE_DIR) / "fuzz/corpus/html_parser";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string bytes = s.str();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++files;
  }
  EXPECT_GT(files, 100);
}

}  // namespace
}  // namespace vt::html

namespace vt::html {
namespace {

std::size_t CountElements(const dom::Node& root) {
  std::size_t n = 0;
  dom::WalkTree(
      root,
      [&](const dom::Node& node) {
        n += node.IsElement();
        return true;
      },
      [](const dom::Node&) {});
  return n;
}

TEST(HtmlParser, DeclaredShadowRootsLeaveTheTreeOnlyOnHostsThatTakeThem) {
  ParseOptions options;
  options.declarative_shadow_roots = true;
  // html, head, body, div: the template and its paragraph are the div's shadow tree.
  auto doc = ParseDocument("<div><template shadowrootmode=open><p>x</p></template>after</div>",
                           nullptr, options);
  EXPECT_EQ(CountElements(*doc), 4u);
  EXPECT_EQ(Body(*doc)->TextContent(), "after");
  // An unknown mode, a host that cannot take one, or a second root on the same host: a template.
  doc = ParseDocument(
      "<div><template shadowrootmode=sideways></template></div>"
      "<table><template shadowrootmode=open></template></table>"
      "<span><template shadowrootmode=closed></template><template shadowrootmode=open></template>"
      "</span>",
      nullptr, options);
  EXPECT_EQ(CountElements(*doc), 3u + 1 + 1 + 1 + 1 + 1 + 1);
  // Off by default (fragments and the conformance files).
  doc = ParseDocument("<div><template shadowrootmode=open></template></div>");
  EXPECT_EQ(CountElements(*doc), 5u);
}

}  // namespace
}  // namespace vt::html
