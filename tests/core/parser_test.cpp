// The parser on real pages loaded through a browser object.
#include <chrono>
#include <string>
#include <vector>

#include "page_fixture.h"
#include "platform/widgets/control.h"

namespace vt::testing {
namespace {

using Parser = PageTest;

TEST_F(Parser, TwoTablesAndThreeLinksGiveGroupsInOrder) {
  TmyDOM& s = Parse("p.html", Page(Table(2, 2, "Cell") + "<p>x</p>" + Table(1, 1, "Other") +
                                   "<a href='a.html'>First link</a> <a href='b.html'>Second</a>"
                                   " <a href='c.html'>Third</a>"));
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Tables (2)", "Links (3)"}));
  ASSERT_EQ(s.EntryCount, 15);
  EXPECT_EQ(s.Status, kStatusReady);
  EXPECT_EQ(StatusText(), "Parsing complete.");
  const Tnode& group = *s.Entries[1];
  EXPECT_EQ(group.Table, -1);
  EXPECT_EQ(group.SourceIndex, 0);
  // Table 1, its two rows with two cells each, then table 2 with one row and one cell.
  std::vector<std::vector<int>> want = {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 1, 2}, {1, 2, 0},
                                        {1, 2, 1}, {1, 2, 2}, {2, 0, 0}, {2, 1, 0}, {2, 1, 1}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    const Tnode& e = *s.Entries[i + 2];
    EXPECT_EQ((std::vector<int>{e.Table, e.Row, e.Col}), want[i]) << "entry " << i + 2;
    EXPECT_GT(e.SourceIndex, 0);
    EXPECT_EQ(e.Node.Value(), static_cast<int>(i) + 1);
  }
  EXPECT_EQ(s.Entries[12]->Link, -1);
  EXPECT_EQ(s.Entries[13]->Link, 1);
  EXPECT_EQ(s.Entries[15]->Text, "Third");
  widgets::TreeNode tables = tree_.Root(0);
  EXPECT_EQ(ChildTexts(tables),
            (std::vector<std::string>{"Cell11 Cell12 Cell21 Cell22", "Other11"}));
  EXPECT_EQ(ChildTexts(tables.Item(0)), (std::vector<std::string>{"Row 1", "Row 2"}));
  EXPECT_EQ(ChildTexts(tables.Item(0).Item(1)),
            (std::vector<std::string>{"Col 1 (Cell21)", "Col 2 (Cell22)"}));
  EXPECT_EQ(ChildTexts(tree_.Root(1)), (std::vector<std::string>{"First link", "Second", "Third"}));
  EXPECT_EQ(tables.ImageIndex(), 0);
  EXPECT_EQ(tree_.Root(1).Item(0).ImageIndex(), 2);
  EXPECT_EQ(tree_.Root(1).Item(0).SelectedIndex(), 2);
}

TEST_F(Parser, FramesetGivesOneRootNodePerFrame) {
  Write("top.html", Page("<a href='x.html'>Top link</a>"));
  Write("main.html", Page(Table(1, 2) + "<img src='pics/photo.jpg'>"));
  TmyDOM& s = Parse("frames.html",
                    "<html><frameset rows='20%,*'><frame name='top' src='top.html'>"
                    "<frame name='main' src='main.html'></frameset></html>");
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Frame 1 (top)", "Frame 2 (main)"}));
  const Tnode& first = *s.Entries[1];
  EXPECT_EQ(first.Frame, 1);
  EXPECT_EQ(first.Table + first.Row + first.Col + first.Image + first.Link, 0);
  EXPECT_EQ(tree_.Root(0).Value(), 0);
  EXPECT_EQ(tree_.Root(0).ImageIndex(), 3);
  EXPECT_EQ(ChildTexts(tree_.Root(0)), (std::vector<std::string>{"Links (1)"}));
  EXPECT_EQ(ChildTexts(tree_.Root(1)), (std::vector<std::string>{"Tables (1)", "Images (1)"}));
  // Frame 1: entry, links group, link; frame 2: entry, tables group, table, row, 2 cells, images.
  ASSERT_EQ(s.EntryCount, 3 + 1 + 5 + 2);
  EXPECT_EQ(s.Entries[4]->Frame, 2);
  EXPECT_EQ(s.Entries[11]->Text, "photo.jpg");
  EXPECT_EQ(s.Entries[11]->Frame, 2);
}

TEST_F(Parser, StopsAtTheHundredthTableAndKeepsParsingImagesAndLinks) {
  std::string body;
  for (int i = 0; i < 101; ++i) body += "<table></table>";
  body += "<img src='a.png'><a href='l.html'>link</a>";
  std::vector<std::string> texts;
  widgets::TakeChanges();
  widgets::SetChangeListener([&] {
    texts.push_back(status_bar_.PanelText(0));
    widgets::TakeChanges();
  });
  TmyDOM& s = Parse("t.html", Page(body));
  widgets::SetChangeListener(nullptr);
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Tables (100)", "Images (1)", "Links (1)"}));
  EXPECT_EQ(s.EntryCount, 1 + 100 + 2 + 2);
  EXPECT_EQ(ChildTexts(tree_.Root(0)).back(), "Table");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Maximum tables loaded (100)"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Parsing tables... (90)"), texts.end());
}

TEST_F(Parser, SkipsImagesWithoutFileNameAndLinksWithoutCleanText) {
  TmyDOM& s =
      Parse("i.html", Page("<img src='http://example.org/dir/'><img src='pics/b.gif'>"
                           "<a href='x'>!!! ?? ?</a><a href='y'>Go: on</a><a name='n'>no</a>"));
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Images (1)", "Links (1)"}));
  ASSERT_EQ(s.EntryCount, 4);
  EXPECT_EQ(s.Entries[2]->Image, 2);
  EXPECT_EQ(s.Entries[2]->Text, "b.gif");
  EXPECT_EQ(s.Entries[4]->Link, 2);
  EXPECT_EQ(s.Entries[4]->Text, "Go on");
}

TEST_F(Parser, RemovesEmptyImageAndLinkGroupsButKeepsTheirEntries) {
  TmyDOM& s = Parse("e.html", Page("<img src='/'><a href='x'>!!!</a>"));
  EXPECT_TRUE(RootTexts().empty());
  ASSERT_EQ(s.EntryCount, 2);
  EXPECT_EQ(s.Entries[1]->Image, -1);
  EXPECT_FALSE(s.Entries[1]->Node);
  EXPECT_EQ(s.Entries[2]->Link, -1);
  EXPECT_FALSE(s.Entries[2]->Node);
  EXPECT_EQ(s.Status, kStatusReady);
}

TEST_F(Parser, BlankTablesAndCellsGetBareLabels) {
  TmyDOM& s = Parse("b.html", Page("<table><tr><td>Alpha beta gamma delta epsilon zeta</td>"
                                   "<td>a</td><td> ! </td></tr></table>"
                                   "<table><tr><td>&#9733;</td></tr></table>"));
  widgets::TreeNode tables = tree_.Root(0);
  EXPECT_EQ(ChildTexts(tables), (std::vector<std::string>{"Alpha beta gamma delta", "Table"}));
  EXPECT_EQ(ChildTexts(tables.Item(0).Item(0)),
            (std::vector<std::string>{"Col 1 (Alpha beta gamma)", "Col 2 (a)", "Col 3"}));
  EXPECT_EQ(s.Entries[2]->Text, "Alpha beta gamma delta epsilon zeta a");
  EXPECT_EQ(s.Entries[4]->Text, "Alpha beta gamma delta epsilon zeta");
  EXPECT_EQ(s.Entries[6]->Text, "");
}

TEST_F(Parser, PageWithoutElementsHasNoData) {
  TmyDOM& s = Parse("n.html", Page("<p>just text</p>"));
  EXPECT_EQ(s.EntryCount, 0);
  EXPECT_EQ(s.Status, kStatusNoData);
  EXPECT_EQ(s.SelectedIndex, -1);
}

TEST_F(Parser, StopsAtTheEntryLimit) {
  // 20 tables of 10 rows with 10 cells: 2221 entries wanted.
  std::string body;
  for (int i = 0; i < 20; ++i) body += Table(10, 9);
  TmyDOM& s = Parse("big.html", Page(body + "<a href='z'>never</a>"));
  EXPECT_EQ(s.EntryCount, 1999);
  EXPECT_EQ(StatusText(), "Maximum page elements exceeded (2000)");
  EXPECT_EQ(s.Status, kStatusReady);
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Tables"}));
  EXPECT_EQ(s.Entries[1999]->Table, 20);
}

// Labels need only the first characters of an element's text: a table that holds the whole page
// (thousands of tables nested in its cells, or a row of many thousand cells) costs no more than
// its label. Before, these pages took minutes; now well under a second, even in a debug build.
TEST_F(Parser, PagesOfDeeplyNestedTablesAndWideRowsParseInLinearTime) {
  std::string nested;
  for (int i = 0; i < 4000; ++i) nested += "<table><tr><td>cell " + std::to_string(i);
  std::string wide = "<table><tr>";
  for (int i = 0; i < 40000; ++i) wide += "<td>c" + std::to_string(i) + "</td>";
  wide += "</tr></table>";
  for (const std::string* body : {&nested, &wide}) {
    TmyDOM& s = Session(Load(Write("p.html", Page(*body))));
    const auto start = std::chrono::steady_clock::now();
    s.ParseDocument();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_EQ(s.Status, kStatusReady);
  }
  // The nested page: a hundred tables, each of one row and one cell; labels from their text.
  TmyDOM& s = Session(Load(Write("n.html", Page(nested))));
  s.ParseDocument();
  EXPECT_EQ(s.EntryCount, 301);
  EXPECT_EQ(StatusText(), "Parsing complete.");
  EXPECT_EQ(s.Entries[2]->Text, "cell 0 cell 1 cell 2 cell 3 cell 4 cell 5 cell 6 c");
  EXPECT_EQ(s.Entries[4]->Text, "cell 0 cell 1 cell 2 cell 3 cell 4 cell 5 cell 6");
  EXPECT_EQ(tree_.Root(0).Text(), "Tables (100)");
}

TEST_F(Parser, FramesetStopsAtTheLimitInTheFirstFrame) {
  std::string body;
  for (int i = 0; i < 20; ++i) body += Table(10, 9);
  Write("f1.html", Page(body));
  Write("f2.html", Page("<a href='q'>second frame</a>"));
  TmyDOM& s = Parse("fs.html",
                    "<html><frameset cols='50%,*'><frame name='a' src='f1.html'>"
                    "<frame name='b' src='f2.html'></frameset></html>");
  EXPECT_EQ(s.EntryCount, 1999);
  EXPECT_EQ(StatusText(), "Maximum page elements exceeded (2000)");
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Frame 1 (a)"}));
}

TEST_F(Parser, ImagesReadBackAbsoluteAndAreWrittenBack) {
  TmyDOM& s = Parse("img.html", Page("<img src='sub/pic.png'>"));
  ASSERT_EQ(s.EntryCount, 2);
  dom::ElementPtr img = s.Document->images().item(0);
  const std::string want = browser::FileUrlFromPath((dir_ / "sub/pic.png").string());
  EXPECT_EQ(img->getAttribute("src"), want);
}

TEST_F(Parser, CancelRequestStopsTheParse) {
  std::string body;
  for (int i = 0; i < 5; ++i) body += Table(3, 3);
  TmyDOM& s = Session(Load(Write("c.html", Page(body))));
  s.EntryCount = 42;
  s.CancelRequested = true;
  s.ParseDocument();
  EXPECT_EQ(s.Status, kStatusNoData);
  EXPECT_FALSE(s.CancelRequested);
  EXPECT_FALSE(s.Parsing);
  EXPECT_EQ(StatusText(), "Parsing cancelled");
  EXPECT_EQ(s.EntryCount, 42);
}

TEST_F(Parser, NewParseFromTheMessageLoopSupersedesTheSuspendedOne) {
  std::string body;
  for (int i = 0; i < 30; ++i) body += Table(2, 2);
  TmyDOM& s = Session(Load(Write("r.html", Page(body))));
  int nested = 0;
  // While the first parse yields, a tick clears Parsing and parses again, as the band does.
  std::function<void()> tick = [&] {
    if (nested++ == 0) {
      s.Parsing = false;
      s.ParseDocument();
    }
  };
  msgloop::PostToUiThread(tick);
  s.ParseDocument();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(s.EntryCount, 1 + 30 * 7);
  EXPECT_EQ(RootTexts(), (std::vector<std::string>{"Tables (30)"}));
  EXPECT_EQ(tree_.Root(0).Count(), 30u);
  EXPECT_FALSE(s.Parsing);
  EXPECT_EQ(s.Status, kStatusReady);
  EXPECT_EQ(StatusText(), "Parsing complete.");
}

TEST_F(Parser, ReleaseDuringAParseWaitsUntilTheParseUnwinds) {
  TmyDOM& s = Session(Load(Write("d.html", Page(Table(3, 3)))));
  msgloop::PostToUiThread([&] {
    s.ReleaseSession();
    session_ = nullptr;
  });
  s.ParseDocument();  // must not touch freed memory (the sanitizer build checks)
  EXPECT_EQ(session_, nullptr);
}

}  // namespace
}  // namespace vt::testing
