// Mark-up in and out: inner and outer HTML, whole-source load and save, display serialisation.
#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace vt::dom {
namespace {

std::shared_ptr<Document> Parse(std::string_view html) {
  auto doc = Document::Create();
  doc->Load(html, "http://example.com/");
  return doc;
}

TEST(Html, OuterHtmlWriteReplacesTheElementWhichStaysUsable) {
  auto doc = Parse("<body><p>a</p><div id=x class=k>old</div><p>b</p></body>");
  auto x = doc->getElementById("x");
  x->setOuterHTML("<span>new</span><i>two</i>");
  EXPECT_EQ(doc->body()->innerHTML(), "<p>a</p><span>new</span><i>two</i><p>b</p>");
  EXPECT_EQ(x->parent(), nullptr);
  EXPECT_EQ(x->outerHTML(), "<div id=\"x\" class=\"k\">old</div>");
  EXPECT_EQ(doc->ElementAt(5)->tagName(), "I");
  EXPECT_THROW(x->setOuterHTML("<b>again</b>"), DomError);
  EXPECT_THROW(doc->documentElement()->setOuterHTML("<b></b>"), DomError);
}

TEST(Html, FragmentsParseInTheContextOfTheirElement) {
  auto doc = Parse("<body><table id=t><tbody id=b><tr><td>1</td></tr></tbody></table></body>");
  auto tbody = doc->getElementById("b");
  tbody->setInnerHTML("<tr><td>x</td><td>y</td></tr>");
  auto table = doc->getElementById("t");
  ASSERT_EQ(table->rows().length(), 1);
  EXPECT_EQ(table->rows().item(0)->cells().length(), 2);
  auto cell = table->rows().item(0)->cells().item(1);
  cell->setOuterHTML("<td>z</td><td>w</td>");
  EXPECT_EQ(table->rows().item(0)->innerHTML(), "<td>x</td><td>z</td><td>w</td>");
}

TEST(Html, SerialisationEscapesTextAndAttributesAndKeepsRawText) {
  auto doc = Parse(
      "<body><p title='a \"q\" &amp; b'>1 &lt; 2 &amp;&nbsp;3</p>"
      "<script>if (a < b && c) {}</script><br><img src=x.png></body>");
  EXPECT_EQ(doc->body()->innerHTML(),
            "<p title=\"a &quot;q&quot; &amp; b\">1 &lt; 2 &amp;&nbsp;3</p>"
            "<script>if (a < b && c) {}</script><br><img src=\"x.png\">");
}

TEST(Html, SaveAndLoadSourceRoundTrip) {
  auto doc = Parse(
      "<!DOCTYPE html><html><head><title>T</title></head><body><!--c--><p>x</p></body></html>");
  const std::string saved = doc->Save();
  EXPECT_EQ(
      saved,
      "<!DOCTYPE html><html><head><title>T</title></head><body><!--c--><p>x</p></body></html>");
  EXPECT_FALSE(doc->IsDirty());
  doc->body()->setInnerHTML("<b>changed</b>");
  EXPECT_TRUE(doc->IsDirty());
  auto copy = Document::Create();
  copy->LoadSource(doc->Save());
  EXPECT_FALSE(doc->IsDirty());
  EXPECT_EQ(copy->body()->innerHTML(), "<b>changed</b>");
  EXPECT_EQ(copy->title(), "T");
  copy->setTitle("New & improved");
  EXPECT_EQ(copy->title(), "New & improved");
  EXPECT_NE(copy->Save().find("<title>New &amp; improved</title>"), std::string::npos);
}

TEST(Html, SourceLoadReplacesTheTreeAndTellsObservers) {
  auto doc = Parse("<body>old</body>");
  int replaced = 0;
  doc->AddObserver([&](const Change& c) { replaced += c.kind == Change::Kind::kReplaced; });
  doc->LoadSource("<frameset><frame name=top><frame name=main></frameset>");
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(doc->body()->tagName(), "FRAMESET");
  EXPECT_EQ(doc->tags("frame").length(), 2);
}

TEST(Html, DisplaySerialisationNamesElementsBySourceIndex) {
  auto doc = Parse("<body><p>x</p></body>");
  EXPECT_EQ(doc->Serialize({.annotate_source_index = true}),
            "<html data-vt-si=\"0\"><head data-vt-si=\"1\"></head><body data-vt-si=\"2\">"
            "<p data-vt-si=\"3\">x</p></body></html>");
}

TEST(Html, TemplateContentIsKeptOutsideTheElementList) {
  auto doc = Parse("<body><template id=t><p>inside</p></template><p>out</p></body>");
  EXPECT_EQ(doc->tags("p").length(), 1);
  EXPECT_EQ(doc->getElementById("t")->innerHTML(), "<p>inside</p>");
  EXPECT_EQ(doc->body()->innerText(), "out");
}

}  // namespace
}  // namespace vt::dom
