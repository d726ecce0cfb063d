// Rendered text: the rules a browser applies to blocks, rows, cells, line breaks, hidden content
// and white space.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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

TEST(InnerText, RowsOfASectionKnowOfTheRowsAfterTheSection) {
  auto doc = Document::Create();
  doc->Load(
      "<table><thead><tr><td>h</td></tr></thead>"
      "<tbody id=a><tr><td>1</td></tr><tr><td>2</td><td>3</td></tr></tbody>"
      "<tbody id=b><tr><td>4</td></tr></tbody><tfoot id=c></tfoot></table>",
      "http://example.com/");
  EXPECT_EQ(doc->body()->innerText(), "h\r\n1\r\n2\t3\r\n4");
  // Walked from a section, its last row still has rows after it in the next section.
  EXPECT_EQ(doc->getElementById("a")->innerText(), "1\r\n2\t3\r\n");
  EXPECT_EQ(doc->getElementById("b")->innerText(), "4");
}

std::size_t CountCodePoints(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The first characters of innerText, at several lengths, from every table, cell and link of
// real pages: exactly the beginning of the whole text, and as long as asked for.
TEST(InnerText, APrefixIsTheBeginningOfTheWholeText) {
  std::vector<std::filesystem::path> pages;
  for (const auto& e : std::filesystem::directory_iterator(VT_CORPUS_DIR)) pages.push_back(e);
  std::sort(pages.begin(), pages.end());
  ASSERT_GE(pages.size(), 100u);
  int checked = 0;
  for (std::size_t p = 0; p < pages.size(); p += 8) {
    std::ifstream in(pages[p], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    auto doc = Document::Create();
    doc->Load(bytes.str(), "http://example.com/");
    for (const char* tag : {"table", "td", "a", "body"}) {
      ElementCollection elements = doc->tags(tag);
      for (long i = 0; i < std::min(elements.length(), 40L); ++i) {
        ElementPtr e = elements.item(i);
        const std::string whole = e->innerText();
        const std::size_t chars = CountCodePoints(whole);
        for (std::size_t n : {1u, 7u, 50u, 250u}) {
          const std::string prefix = e->InnerTextPrefix(n);
          ASSERT_EQ(whole.compare(0, prefix.size(), prefix), 0)
              << pages[p] << " " << tag << " " << i << " n=" << n;
          ASSERT_GE(CountCodePoints(prefix), std::min(n, chars)) << pages[p] << " " << tag;
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 1000);
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
