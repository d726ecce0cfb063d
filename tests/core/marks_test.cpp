// Locating elements from descriptors and the marks on the page.
#include "page_fixture.h"
#include "platform/browser/windows.h"
#include "platform/dom/style.h"

namespace vt::testing {
namespace {

class Marks : public PageTest {
 protected:
  // Two tables (3 rows of 2 cells each), two images, two links.
  TmyDOM& ParsePage() {
    return Parse("m.html",
                 Page(Table(3, 2, "a") + Table(3, 2, "b") +
                      "<img src='i1.png'><img src='i2.png'>"
                      "<a href='one.html'>one</a><a href='two.html'><span>two</span></a>"));
  }
  static std::string Border(const ElementRef& e) { return e->getAttribute("style"); }
  static Tnode Cell(int table, int row, int col) {
    Tnode d;
    d.Table = table;
    d.Row = row;
    d.Col = col;
    return d;
  }
};

TEST_F(Marks, OutsideFilterModeLocatesWithoutDrawing) {
  TmyDOM& s = ParsePage();
  Tnode d = Cell(1, 0, 0);
  const int index = s.MarkObject(s.Document, s.SelectedBorder, &d);
  dom::ElementPtr table = s.Document->tags("TABLE").item(0);
  EXPECT_EQ(index, table->sourceIndex());
  EXPECT_EQ(s.CurrentElement, table);
  EXPECT_EQ(Border(table), "");
}

TEST_F(Marks, RowsAreLocatedButNeverBordered) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  Tnode row = Cell(2, 3, 0);
  dom::ElementPtr tr = s.Document->tags("TABLE").item(1)->rows().item(2);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &row), tr->sourceIndex());
  EXPECT_EQ(Border(tr), "");
  Tnode cell = Cell(2, 3, 2);
  dom::ElementPtr td = tr->cells().item(1);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &cell), td->sourceIndex());
  EXPECT_EQ(td->style().border(), "2px solid red");
}

TEST_F(Marks, DescriptorsPastTheEndLocateNothing) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  Tnode none = Cell(3, 1, 1);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &none), 0);
  none = Cell(1, 4, 0);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &none), 0);
  none = Cell(1, 1, 3);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &none), 0);
  Tnode image;
  image.Image = 3;
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &image), 0);
  Tnode group;
  group.Table = -1;
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, &group), 0);
  EXPECT_EQ(s.MarkObject(nullptr, s.SelectedBorder, &group), 0);
  EXPECT_EQ(s.MarkObject(s.Document, s.SelectedBorder, nullptr), 0);
}

TEST_F(Marks, ReselectionGivesThePreviousElementTheNeutralLook) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  ElementRef seventh = s.SelectElement(s.Document, 7);
  ASSERT_TRUE(seventh);
  EXPECT_EQ(s.SelectedSourceIndex, seventh->sourceIndex());
  ElementRef fourth = s.SelectElement(s.Document, 4);
  ASSERT_TRUE(fourth);
  EXPECT_EQ(seventh->style().borderWidth(), "0px");
  EXPECT_EQ(seventh->style().borderStyle(), "solid");
  EXPECT_EQ(seventh->style().borderColor(), "#E0E0E0");
  EXPECT_EQ(fourth->style().border(), "2px solid red");
  EXPECT_EQ(s.LastSelectedEntry, s.Entries[5].get());
  EXPECT_EQ(s.LastSelectedElement, fourth);
  // Outside filter mode the selection moves without any drawing.
  s.FilterMode = false;
  ElementRef other = s.SelectElement(s.Document, 2);
  EXPECT_EQ(fourth->style().border(), "2px solid red");
  EXPECT_EQ(Border(other), "");
  EXPECT_EQ(s.SelectElement(s.Document, -1), nullptr);
}

TEST_F(Marks, ClearMarksRemovesSelectionAndHover) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  ElementRef selected = s.SelectElement(s.Document, 3);
  s.SelectedIndex = 3;
  ElementRef hovered = s.Document->images().item(1);
  hovered->style().setBorderWidth("1px");
  s.HoverSourceIndex = hovered->sourceIndex();
  s.ClearMarks(s.Document);
  EXPECT_EQ(selected->style().borderWidth(), "0px");
  EXPECT_EQ(selected->style().borderStyle(), "");
  EXPECT_EQ(hovered->style().borderWidth(), "0px");
  EXPECT_EQ(s.SelectedIndex, -1);
}

TEST_F(Marks, ClickOnThePageSelectsEntryAndNode) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  dom::ElementPtr td = s.Document->tags("TABLE").item(0)->rows().item(1)->cells().item(0);
  s.SelectElementFromPage(s.Document, &tree_, td);
  // Tables group 1, table 2, row 3, cells 4-5, row 6, cell 7.
  EXPECT_EQ(s.SelectedIndex, 6);
  EXPECT_EQ(tree_.FocusedNode(), s.Entries[7]->Node);
  EXPECT_EQ(td->style().border(), "2px solid red");
  // The same element in another frame is not an entry.
  s.EventFrame = 1;
  s.SelectElementFromPage(s.Document, &tree_, td);
  EXPECT_EQ(s.SelectedIndex, -1);
  s.EventFrame = 0;
  s.FilterMode = false;
  s.SelectElementFromPage(s.Document, &tree_, td);
  EXPECT_EQ(s.SelectedIndex, -1);
}

TEST_F(Marks, AClickOutsideEveryElementSelectsNothing) {
  // The groups and the empty positions carry source index 0, as does the page's HTML element.
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  tree_.SetFocusedNode({});
  s.SelectElementFromPage(s.Document, &tree_, s.Document->documentElement());
  EXPECT_EQ(s.SelectedIndex, -1);
  EXPECT_FALSE(tree_.FocusedNode().Valid());
  EXPECT_EQ(s.LastSelectedElement, nullptr);
}

TEST_F(Marks, PageBodyWithoutTheSelectionMark) {
  TmyDOM& s = ParsePage();
  s.FilterMode = true;
  dom::ElementPtr cell = s.Document->tags("TABLE").item(0)->rows().item(0)->cells().item(0);
  s.SelectElement(s.Document, 3);  // entry 4: the first cell
  s.SelectedIndex = 3;
  ASSERT_EQ(cell->style().border(), "2px solid red");
  EXPECT_EQ(s.GetPageBodyHtml().find("red"), std::string::npos);
  EXPECT_EQ(cell->style().border(), "2px solid red");  // drawn again afterwards
  // Element index 0 is not cleared first: the mark stays in the mark-up.
  s.SelectedIndex = 0;
  EXPECT_NE(s.GetPageBodyHtml().find("red"), std::string::npos);
}

TEST_F(Marks, LinkHrefLooksAtMostFiveAncestorsUp) {
  TmyDOM& s = Parse("l.html", Page("<a href='target.html'><b><i><u><s><span id='five'>x"
                                   "<span id='six'>y</span></span></s></u></i></b></a>"));
  const std::string want = browser::FileUrlFromPath((dir_ / "target.html").string());
  EXPECT_EQ(TmyDOM::GetLinkHref(s.Document->getElementById("five")), want);
  EXPECT_EQ(TmyDOM::GetLinkHref(s.Document->getElementById("six")), "");
  EXPECT_EQ(TmyDOM::GetLinkHref(s.Document->links().item(0)), want);
  EXPECT_EQ(TmyDOM::GetLinkHref(nullptr), "");
}

TEST_F(Marks, SavedPositionBeyondTheParseSelectsNothing) {
  TmyDOM& s = Parse("s.html", Page("<a href='1'>one</a><a href='2'>two</a>"));
  ASSERT_EQ(s.EntryCount, 3);
  s.RestoreSelectedNode(5);
  EXPECT_EQ(s.SelectedIndex, 5);
  EXPECT_FALSE(tree_.FocusedNode());
  s.RestoreSelectedNode(2);
  EXPECT_EQ(tree_.FocusedNode(), s.Entries[3]->Node);
  EXPECT_TRUE(s.Entries[3]->Node.Selected());
}

TEST_F(Marks, ParseRestoresThePositionSavedForTheAddress) {
  static std::string asked;
  SetSavedSelectionLookup([](TmyDOM&, const std::string& address) -> std::int32_t {
    asked = address;
    return 1;
  });
  TmyDOM& s = Parse("r.html", Page("<a href='1'>one</a><a href='2'>two</a>"));
  SetSavedSelectionLookup(nullptr);
  EXPECT_EQ(asked, browser::FileUrlFromPath((dir_ / "r.html").string()));
  EXPECT_EQ(s.SelectedIndex, 1);
  EXPECT_EQ(tree_.FocusedNode(), s.Entries[2]->Node);
}

TEST_F(Marks, ViewSourceOpensTheSourceAsText) {
  TmyDOM& s = Parse("v.html", Page("<p>shown</p>"));
  const std::size_t before = browser::BrowserWindows().size();
  s.ViewSource(s.Document, 2);
  auto windows = browser::BrowserWindows();
  ASSERT_EQ(windows.size(), before + 1);
  auto doc = windows.back()->Document();
  ASSERT_TRUE(doc);
  EXPECT_NE(doc->body()->innerText().find("<p>shown</p>"), std::string::npos);
  windows.back()->Quit();
  s.ViewSource(s.Document, 7);  // other commands do nothing
  EXPECT_EQ(browser::BrowserWindows().size(), before);
}

}  // namespace
}  // namespace vt::testing
