// The page session: numbering, defaults, status texts, documents of frames, new windows.
#include <stdexcept>

#include "core/textutil_dom.h"
#include "page_fixture.h"
#include "platform/browser/windows.h"

namespace vt::testing {
namespace {

using PageSession = PageTest;

TEST_F(PageSession, WindowNumbersAreNeverReused) {
  TmyDOM a, b, c, d;
  EXPECT_EQ(SessionList::Add(&a), 0);
  EXPECT_EQ(SessionList::Add(&b), 1);
  EXPECT_EQ(SessionList::Add(&c), 2);
  EXPECT_EQ(SessionList::Count(), 4);  // always one empty position at the end
  SessionList::Remove(b.WindowNumber);
  EXPECT_EQ(SessionList::At(1), nullptr);
  EXPECT_EQ(SessionList::Add(&d), 3);
  EXPECT_EQ(d.WindowNumber, 3);
  EXPECT_EQ(SessionList::At(2), &c);
  EXPECT_EQ(SessionList::At(4), nullptr);
  EXPECT_EQ(SessionList::At(-1), nullptr);
}

TEST_F(PageSession, FreedSessionLeavesNoDanglingReference) {
  auto* s = new TmyDOM();
  const int n = SessionList::Add(s);
  SetCurrentSession(s);
  s->ReleaseSession();
  EXPECT_EQ(SessionList::At(n), nullptr);
  EXPECT_EQ(CurrentSession(), nullptr);
}

TEST_F(PageSession, NewSessionDefaults) {
  TmyDOM s;
  s.InitSession(nullptr, nullptr, &status_bar_, nullptr);
  EXPECT_EQ(s.Status, kStatusNoData);
  EXPECT_EQ(s.SelectedIndex, -1);
  EXPECT_EQ(s.EntryCount, 0);
  EXPECT_EQ(s.NeutralBorderWidth, "0px");
  EXPECT_EQ(s.NeutralBorderColor, "#E0E0E0");
  EXPECT_EQ(s.NeutralBorderStyle, "Solid");
  EXPECT_EQ(s.MouseBorderWidth, "1px");
  EXPECT_EQ(s.MouseBorderColor, "#606060");
  EXPECT_EQ(s.MouseBorderStyle, "solid");
  EXPECT_EQ(s.SelectedBorder, "solid red 2px");
  ASSERT_NE(s.Entry(0), nullptr);
  ASSERT_NE(s.Entry(1999), nullptr);
  EXPECT_EQ(s.Entry(2000), nullptr);
  EXPECT_EQ(s.Entry(-1), nullptr);
}

TEST_F(PageSession, LogErrorShowsWhereThenTheMessage) {
  TmyDOM s;
  s.InitSession(nullptr, nullptr, &status_bar_, nullptr);
  s.LogError(std::runtime_error("x"), "Timer");
  EXPECT_EQ(StatusText(), "Timer ERROR : x");
  s.SetStatusText("");
  EXPECT_EQ(StatusText(), "");
  TmyDOM bare;  // no status bar: nothing happens
  bare.SetStatusText("ignored");
  bare.LogError(std::runtime_error("y"), "Timer");
}

TEST_F(PageSession, RefreshDocumentsNeedsALocation) {
  com::ComPtr<browser::WebBrowser> blank = browser::WebBrowser::Create();
  TmyDOM& s = Session(BrowserRef(blank.get()));
  auto kept = dom::Document::Create();
  s.Document = kept;
  s.RefreshDocuments();
  EXPECT_EQ(s.Document, kept);
  BrowserRef loaded = Load(Write("a.html", Page("<p>a</p>")));
  s.Browser = loaded;
  s.RefreshDocuments();
  EXPECT_EQ(s.Document, loaded->Document());
  EXPECT_EQ(s.WorkDocument, loaded->Document());
}

TEST_F(PageSession, FramesAreFoundThroughTheContainerAndTheFramesCollection) {
  Write("one.html", Page("<p>one</p>"));
  Write("two.html", Page("<p>two</p>"));
  BrowserRef top = Load(Write("f.html",
                              "<html><frameset cols='50%,*'><frame name='top' "
                              "src='one.html'><frame name='main' src='two.html'>"
                              "</frameset></html>"));
  DocumentRef doc = top->Document();
  ASSERT_TRUE(doc);
  EXPECT_EQ(TmyDOM::GetFrameDocument(doc, 0), doc);
  DocumentRef second = TmyDOM::GetFrameDocument(doc, 2);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->parentWindow()->name(), "main");
  EXPECT_EQ(TmyDOM::GetFrameDocument(doc, 3), nullptr);
  BrowserRef frame = TmyDOM::GetFrameBrowser(doc, 1);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Document(), second);
  // Past the last frame, and for -1, the browser that hosts the document answers.
  EXPECT_EQ(TmyDOM::GetFrameBrowser(doc, 5).get(), top.get());
  EXPECT_EQ(TmyDOM::GetFrameBrowser(doc, -1).get(), top.get());
  EXPECT_EQ(TmyDOM::GetFrameBrowser(second, -1).get(), frame.get());
  // The working document follows the frame of the last mouse event.
  TmyDOM& s = Session(top);
  s.EventFrame = 2;
  s.RefreshDocuments();
  EXPECT_EQ(s.Document, doc);
  EXPECT_EQ(s.WorkDocument, second);
}

TEST_F(PageSession, NewBrowserWindowIsCentredRoundingHalfToEven) {
  browser::Screen::SetSize(1024, 768);
  TmyDOM s;
  s.InitSession(nullptr, nullptr, &status_bar_, nullptr);
  BrowserRef w = s.NewBrowserWindow();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Width(), 700);
  EXPECT_EQ(w->Height(), 465);
  EXPECT_EQ(w->Left(), 162);
  EXPECT_EQ(w->Top(), 152);  // 151.5 goes to the even neighbour
  EXPECT_TRUE(w->Visible());
  EXPECT_TRUE(w->AddressBar());
  EXPECT_TRUE(w->MenuBar());
  browser::Screen::SetSize(1025, 769);  // 162.5 and 152 -> 162 and 152
  BrowserRef v = s.NewBrowserWindow();
  EXPECT_EQ(v->Left(), 162);
  EXPECT_EQ(v->Top(), 152);
  browser::Screen::SetSize(600, 400);  // the window shrinks to the screen: placed at 0, 0
  BrowserRef small = s.NewBrowserWindow();
  EXPECT_EQ(small->Left(), (600 - small->Width()) / 2);
  w->Quit();
  v->Quit();
  small->Quit();
  browser::Screen::SetSize(1024, 768);
}

TEST_F(PageSession, OpenInNewWindowNavigatesThere) {
  TmyDOM s;
  const std::string path = Write("n.html", Page("<p>new</p>"));
  const std::size_t before = browser::BrowserWindows().size();
  s.OpenInNewWindow(browser::FileUrlFromPath(path));
  auto windows = browser::BrowserWindows();
  ASSERT_EQ(windows.size(), before + 1);
  auto w = windows.back();
  msgloop::PumpUntil([&] { return !w->Busy(); }, msgloop::Milliseconds(10000));
  EXPECT_EQ(w->LocationURL(), browser::FileUrlFromPath(path));
  w->Quit();
}

TEST_F(PageSession, SourceLinesEndWithCrLf) {
  TmyDOM s;
  auto doc = dom::Document::Create();
  s.WriteHtmlToDocument(doc, "<html><body>\n<p>a</p>\r<p>b</p>\r\n<p>c</p></body></html>");
  const std::string source = TmyDOM::GetDocumentSource(doc);
  EXPECT_EQ(source.find('\n'), source.find("\r\n") + 1);
  EXPECT_EQ(source.substr(source.size() - 2), "\r\n");
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\n') {
      EXPECT_EQ(source[i - 1], '\r');
    }
    if (source[i] == '\r') {
      EXPECT_EQ(source[i + 1], '\n');
    }
  }
  EXPECT_NE(source.find("<p>a</p>\r\n<p>b</p>\r\n<p>c</p>"), std::string::npos);
  EXPECT_FALSE(doc->IsDirty());
  s.WriteHtmlToDocument(nullptr, "<p>ignored</p>");
  EXPECT_EQ(TmyDOM::GetDocumentSource(nullptr), "");
}

TEST_F(PageSession, MetaContentTakesTheLastMatchIgnoringCase) {
  auto doc = dom::Document::Create();
  doc->LoadSource(
      "<html><head><meta name='keywords' content='one'><meta name='description' "
      "content='d'><meta name='KEYWORDS' content='two'></head><body></body></html>");
  EXPECT_EQ(GetMetaContent("Keywords", doc), "two");
  EXPECT_EQ(GetMetaContent("description", doc), "d");
  EXPECT_EQ(GetMetaContent("author", doc), "");
  EXPECT_EQ(GetMetaContent("keywords", nullptr), "");
}

}  // namespace
}  // namespace vt::testing
