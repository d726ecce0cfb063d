// The tree, its collections and source indexes, on real mark-up.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/dom/document.h"

namespace vt::dom {
namespace {

std::shared_ptr<Document> Parse(std::string_view html,
                                std::string url = "http://example.com/dir/page.html") {
  auto doc = Document::Create();
  doc->Load(html, std::move(url));
  return doc;
}

constexpr std::string_view kPage = R"(<!DOCTYPE html>
<html><head><title> Two  tables </title><meta name="Description" content="About it"></head>
<body>
<table id="t1"><thead><tr><th>H</th></tr></thead>
  <tfoot><tr><td>F</td></tr></tfoot>
  <tbody><tr><td>A</td><td>B<table id="inner"><tr><td>X</td></tr></table></td></tr></tbody>
  <tr><td>Direct</td></tr>
</table>
<img src="a.png"><img src="/b.gif">
<a href="one.html">One</a> <a name="anchor">no href</a>
<map><area href="two.html"></map>
<form><input name="q"></form><form></form>
<a href="three.html">Three</a>
</body></html>)";

TEST(Tree, CollectionsCountWhatTheyHoldInDocumentOrder) {
  auto doc = Parse(kPage);
  EXPECT_EQ(doc->tags("TABLE").length(), 2);
  EXPECT_EQ(doc->tags("table").item(1)->id(), "inner");
  EXPECT_EQ(doc->images().length(), 2);
  ASSERT_EQ(doc->links().length(), 3);  // A and AREA with an href, not the named anchor
  EXPECT_EQ(doc->links().item(0)->tagName(), "A");
  EXPECT_EQ(doc->links().item(1)->tagName(), "AREA");
  EXPECT_EQ(doc->links().item(2)->href(), "http://example.com/dir/three.html");
  EXPECT_EQ(doc->forms().length(), 2);
  EXPECT_EQ(doc->links().item(3), nullptr);
  EXPECT_EQ(doc->links().item(-1), nullptr);
  EXPECT_EQ(doc->all().tags("meta").item(0)->content(), "About it");
  EXPECT_EQ(doc->title(), "Two tables");
}

TEST(Tree, TableRowsAreSectionOrderedAndExcludeNestedTables) {
  auto doc = Parse(kPage);
  auto table = doc->getElementById("t1");
  auto rows = table->rows();
  ASSERT_EQ(rows.length(), 4);
  EXPECT_EQ(rows.item(0)->innerText(), "H");       // THEAD first
  EXPECT_EQ(rows.item(1)->cells().length(), 2);    // TBODY
  EXPECT_EQ(rows.item(2)->innerText(), "Direct");  // direct row (the parser wraps it in TBODY)
  EXPECT_EQ(rows.item(3)->innerText(), "F");       // TFOOT last
  EXPECT_EQ(rows.item(0)->cells().item(0)->tagName(), "TH");
  EXPECT_EQ(doc->getElementById("inner")->rows().length(), 1);
  EXPECT_EQ(doc->images().item(0)->rows().length(), 0);
}

TEST(Tree, SourceIndexFollowsDocumentOrderAndEdits) {
  auto doc = Parse("<body><div id=a><p id=b>x</p></div><span id=c></span></body>");
  auto a = doc->getElementById("a");
  auto c = doc->getElementById("c");
  // HTML 0, HEAD 1, BODY 2, DIV 3, P 4, SPAN 5
  EXPECT_EQ(a->sourceIndex(), 3);
  EXPECT_EQ(c->sourceIndex(), 5);
  EXPECT_EQ(doc->ElementAt(4)->tagName(), "P");

  a->setInnerHTML("<i>1</i><i>2</i><i>3</i>");
  EXPECT_EQ(c->sourceIndex(), 7);
  EXPECT_EQ(doc->all().length(), 8);
  auto first_i = doc->ElementAt(4);
  ASSERT_NE(first_i, nullptr);
  EXPECT_EQ(first_i->tagName(), "I");

  auto removed = a->parent()->RemoveChild(a.get());
  EXPECT_EQ(removed.get(), a.get());
  EXPECT_EQ(a->sourceIndex(), -1);
  EXPECT_EQ(c->sourceIndex(), 3);
  EXPECT_EQ(doc->all().length(), 4);
}

TEST(Tree, ElementsStayReadableAfterTheirDocumentIsReplacedOrGone) {
  auto doc = Parse("<body><p id=p title=t>old <b>text</b></p></body>");
  auto p = doc->getElementById("p");
  auto images = doc->images();
  doc->LoadSource("<body><img src=x.png></body>");
  EXPECT_EQ(p->sourceIndex(), -1);
  EXPECT_EQ(p->document(), nullptr);
  EXPECT_EQ(p->getAttribute("TITLE"), "t");
  EXPECT_EQ(p->innerText(), "old text");
  EXPECT_EQ(p->outerHTML(), "<p id=\"p\" title=\"t\">old <b>text</b></p>");
  EXPECT_EQ(images.length(), 1);           // the collection follows the new tree
  EXPECT_EQ(p->parentElement(), nullptr);  // nothing keeps the old tree above it alive
  doc.reset();
  EXPECT_EQ(images.length(), 0);
  EXPECT_EQ(p->innerText(), "old text");
}

TEST(Tree, DeepMarkupStopsNestingAtTheBrowsersLimit) {
  std::string html = "<body>";
  for (int i = 0; i < 3000; ++i) html += "<div>";
  html += "deep";
  auto doc = Parse(html);
  EXPECT_EQ(doc->all().length(), 3003);
  int depth = 0;
  for (const Node* n = doc->all().item(3002).get(); n; n = n->parent()) ++depth;
  EXPECT_LE(depth, 513);
  EXPECT_EQ(doc->body()->innerText(), "deep");
}

TEST(Tree, VeryDeepTreesAreWalkedAndFreedWithoutRecursion) {
  NodePtr chain = Node::MakeText("deep");
  for (int i = 0; i < 200000; ++i) {
    auto parent = Element::Create("span");
    parent->AppendChild(std::move(chain));
    chain = parent;
  }
  auto doc = Parse("<body></body>");
  doc->body()->AppendChild(chain);
  EXPECT_EQ(doc->ElementCount(), 200003);
  EXPECT_EQ(doc->body()->innerText(), "deep");
  EXPECT_NE(doc->Save().find("deep</span>"), std::string::npos);
  chain.reset();
  doc.reset();  // must not overflow the stack
}

TEST(Tree, CollectionsAreLiveAcrossEditsAndAttributeChanges) {
  auto doc = Parse("<body><div id=d><a href=a.html>a</a></div></body>");
  auto links = doc->links();
  auto cells = doc->all().tags("Td");
  EXPECT_EQ(links.length(), 1);
  EXPECT_EQ(cells.length(), 0);
  doc->getElementById("d")->setInnerHTML(
      "<a href=b.html>b</a><a>c</a><table><tr><td>1</td><TD>2</TD></tr></table>");
  EXPECT_EQ(links.length(), 1);
  EXPECT_EQ(links.item(0)->href(), "http://example.com/dir/b.html");
  EXPECT_EQ(cells.length(), 2);
  auto anchor = doc->tags("a").item(1);
  anchor->setAttribute("HREF", "c.html");
  EXPECT_EQ(links.length(), 2);
  anchor->removeAttribute("href");
  EXPECT_EQ(links.length(), 1);
  EXPECT_EQ(links.namedItem("nothing"), nullptr);
}

TEST(Tree, LinksResolveAgainstTheBaseAsItStandsNow) {
  auto doc = Parse("<head><base href='http://one.example/x/'></head><body><a href=a.html>a</a>");
  auto link = doc->links().item(0);
  EXPECT_EQ(link->href(), "http://one.example/x/a.html");
  link->setAttribute("href", link->href());  // written back absolute, as a cut does
  link->setAttribute("style", "border-width: 0");
  EXPECT_EQ(doc->links().length(), 1);
  auto base = doc->tags("base").item(0);
  base->setAttribute("href", "http://two.example/");
  link->setAttribute("href", "b.html");
  EXPECT_EQ(link->href(), "http://two.example/b.html");
  base->removeAttribute("href");
  EXPECT_EQ(link->href(), "http://example.com/dir/b.html");
}

TEST(Tree, ObserversHearWhatChangedUntilRemoved) {
  auto doc = Parse("<head><title>t</title></head><body><p id=p>x</p></body>");
  std::vector<std::string> seen;
  const int id = doc->AddObserver([&](const Change& c) {
    static const char* kKinds[] = {"attribute", "children", "replaced", "title"};
    seen.push_back(std::string(kKinds[static_cast<int>(c.kind)]) + " " +
                   (c.element ? c.element->tagName() : "-") + " " + c.name);
  });
  auto p = doc->getElementById("p");
  p->setAttribute("class", "k");
  p->setInnerHTML("<b>y</b>");
  doc->setTitle("new");
  doc->LoadSource("<p>z</p>");
  doc->RemoveObserver(id);
  doc->body()->setInnerHTML("gone");
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0], "attribute P class");
  EXPECT_EQ(seen[1], "children P ");
  EXPECT_EQ(seen[2], "children TITLE ");  // the title's text replaced...
  EXPECT_EQ(seen[4], "title TITLE ");     // ...then announced as the title
  EXPECT_EQ(seen[5], "replaced - ");
}

TEST(Tree, InsertingANodeIntoItsOwnSubtreeFails) {
  auto doc = Parse("<body><div id=a><p id=b></p></div></body>");
  auto a = doc->getElementById("a");
  auto b = doc->getElementById("b");
  EXPECT_THROW(b->AppendChild(a), DomError);
  EXPECT_EQ(a->parentElement(), doc->body());
}

TEST(Tree, CorpusPageKeepsItsCounts) {
  std::ifstream in(std::string(VT_CORPUS_DIR) + "/links-in-tables.html", std::ios::binary);
  ASSERT_TRUE(in);
  std::ostringstream s;
  s << in.rdbuf();
  auto doc = Parse(s.str(), "file:///corpus/links-in-tables.html");
  const int count = doc->ElementCount();
  ASSERT_GT(count, 100);
  for (int i = 0; i < count; ++i) ASSERT_EQ(doc->ElementAt(i)->sourceIndex(), i);
  EXPECT_EQ(doc->all().length(), count);
  EXPECT_GT(doc->tags("table").length(), 0);
}

}  // namespace
}  // namespace vt::dom
