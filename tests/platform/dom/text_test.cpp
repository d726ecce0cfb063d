// Rendered text: the rules a browser applies to blocks, rows, cells, line breaks, hidden content
// and white space.
#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace vt::dom {
namespace {

std::string BodyText(std::string_view html) {
  auto doc = Document::Create();
  doc->Load(html, "http://example.com/");
  return doc->body()->innerText();
}

TEST(InnerText, BlocksParagraphsAndLineBreaksGiveCrLf) {
  EXPECT_EQ(BodyText("<div>one</div><div>two</div>"), "one\r\ntwo");
  EXPECT_EQ(BodyText("<p>one</p><p>two</p>"), "one\r\n\r\ntwo");
  EXPECT_EQ(BodyText("a<br>b<br><br>c"), "a\r\nb\r\n\r\nc");
  EXPECT_EQ(BodyText("<h1>Title</h1>text<ul><li>x</li><li>y</li></ul>"), "Title\r\ntext\r\nx\r\ny");
}

TEST(InnerText, TableCellsAreTabSeparatedAndRowsLineSeparated) {
  EXPECT_EQ(BodyText("<table><tr><td>a</td> <td>b</td><th>c</th></tr>\n"
                     "<tr><td> d </td><td>e</td></tr></table>after"),
            "a\tb\tc\r\nd\te\r\nafter");
}

TEST(InnerText, HiddenAndNonRenderedContentIsLeftOut) {
  EXPECT_EQ(BodyText("a<script>var x;</script><style>p{}</style><template>t</template>"
                     "<span hidden>h</span><span style=\"color:red; DISPLAY: none\">n</span>"
                     "<input type=hidden value=v><span style=\"visibility:hidden\">v</span>b"),
            "ab");
  auto doc = Document::Create();
  doc->Load("<head><title>T</title></head><body>x</body>", "http://example.com/");
  EXPECT_EQ(doc->head()->innerText(), "T");  // not rendered: its plain text
  EXPECT_EQ(doc->documentElement()->innerText(), "x");
}

TEST(InnerText, WhiteSpaceCollapsesAcrossInlineElements) {
  EXPECT_EQ(BodyText("  lots \n\t of   <b> space </b> here  "), "lots of space here");
  EXPECT_EQ(BodyText("<div>  a  </div>  <div>  b  </div>"), "a\r\nb");
  EXPECT_EQ(BodyText("<pre>  two\n  lines</pre>"), "  two\r\n  lines");
  EXPECT_EQ(BodyText("<span style=\"white-space: pre\">a  b</span>"), "a  b");
}

TEST(InnerText, SelectShowsItsOptionsOnLines) {
  EXPECT_EQ(BodyText("Pick <select><option>One</option><option>Two</option></select> now"),
            "Pick\r\nOne\r\nTwo\r\nnow");
}

TEST(InnerText, NestedTablesAndClosedDetailsFollowTheirOwnRules) {
  // The inner table's only cell is the last of its row: no tab of its own.
  EXPECT_EQ(
      BodyText("<table><tr><td>a<table><tr><td>in</td></tr></table></td><td>b</td></tr></table>"),
      "a\r\nin\r\n\tb");
  EXPECT_EQ(BodyText("<details><summary>More</summary><p>hidden</p></details>"
                     "<details open><summary>Open</summary>shown</details>"),
            "More\r\nOpen\r\nshown");
  EXPECT_EQ(BodyText("<noscript>no scripts here</noscript>"), "no scripts here");
  EXPECT_EQ(BodyText("a&nbsp;&nbsp;b"),
            "a\xC2\xA0\xC2\xA0"
            "b");  // no-break spaces stay
}

TEST(InnerText, ThePagesOwnStyleSheetsHideWhatTheySayIsHidden) {
  EXPECT_EQ(BodyText("<style>.ad, #promo { display: none } div > .off { visibility: hidden }"
                     ".ad.keep { display: inline } span:hover { display: none }"
                     "@media (max-width: 600px) { .wide { display: none } }"
                     "@media (min-width: 40em) { .narrow { display: none !important } }</style>"
                     "a<span class=ad>x</span><span class=\"ad keep\">b</span><p id=promo>y</p>"
                     "<div><span class=off>z</span></div><span class=wide>c</span>"
                     "<span class=narrow style=\"display:inline\">w</span>"),
            "ab\r\nc");
  // Edits that change what the rules match are seen.
  auto doc = Document::Create();
  doc->Load("<style>.gone{display:none}</style><body><p id=p>text</p></body>",
            "http://example.com/");
  auto p = doc->getElementById("p");
  EXPECT_EQ(doc->body()->innerText(), "text");
  p->setAttribute("class", "gone");
  EXPECT_EQ(doc->body()->innerText(), "");
}

TEST(InnerText, SettingTextMakesLineBreaksIntoBrElements) {
  auto doc = Document::Create();
  doc->Load("<body><div id=d><b>old</b></div></body>", "http://example.com/");
  auto d = doc->getElementById("d");
  d->setInnerText("one\r\ntwo <b>");
  EXPECT_EQ(d->innerHTML(), "one<br>two &lt;b&gt;");
  EXPECT_EQ(d->innerText(), "one\r\ntwo <b>");
}

}  // namespace
}  // namespace vt::dom
