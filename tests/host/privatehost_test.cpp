// The private host's protocol handler, the invisible loader, the document host handler and the
// page's event sinks.
#include "core/BrowserEvents.h"
#include "core/myDOM.h"
#include "host/IEDocHostUIHandler.h"
#include "host/OurNSHandler.h"
#include "host/UI_Less.h"
#include "host_fixture.h"
#include "platform/browser/session.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/menu.h"
#include "platform/widgets/treelist.h"

namespace vt::testing {
namespace {

using namespace com;

class PrivateHost : public HostTest {
 protected:
  // A page session showing `html` and parsed, as a band shows a page.
  TmyDOM& ShowPage(const std::string& html) {
    TmyDOM& s = BandSession();
    s.InitSession(nullptr, nullptr, &status_, nullptr);
    s.FilterTree = &tree_;
    web_ = browser::WebBrowser::Create();
    web_->Navigate(WritePage("page.html", html));
    EXPECT_TRUE(WaitIdle(*web_));
    s.Browser = BrowserRef(web_.get());
    s.RefreshDocuments();
    s.ParseDocument();
    return s;
  }
  static std::string Body(const std::string& page) {
    const auto start = page.find("<BODY>");
    const auto end = page.rfind("</BODY>");
    return start == std::string::npos ? page : page.substr(start + 6, end - start - 6);
  }
  std::string Status() const { return status_.PanelText(0); }

  widgets::StatusBar status_{"sb1"};
  widgets::TreeList tree_{"tv"};
  ComPtr<browser::WebBrowser> web_;
};

constexpr const char* kPage =
    "<html><head><title>Shop</title></head><body>"
    "<table><tr><td>a1</td><td><a href='x.html'>in link</a></td></tr></table>"
    "<table style='border: 1px solid blue'><tr><td>b1<script>document.title='ran'</script></td>"
    "</tr></table><img src='none.png'><a href='rel/page.html'>Next</a></body></html>";

TEST_F(PrivateHost, OtherHostsGoBackToTheBrowserAndNothingIsBuilt) {
  ComPtr<TOurNSHandler> h = MakeCom<TOurNSHandler>();
  EXPECT_EQ(h->Start("http://example.test/filter?window=0&id=1", nullptr, nullptr, 0, 0),
            INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(h->TotalSize(), 0);
  EXPECT_EQ(h->Start("https://vellumtrace.localhost/filter", nullptr, nullptr, 0, 0),
            INET_E_USE_DEFAULT_PROTOCOLHANDLER);
}

TEST_F(PrivateHost, CommandsAreExactButTheHostIsAnyCase) {
  ShowPage(kPage);
  const std::string unknown = "Vellumtrace does not understand the command.";
  EXPECT_NE(FetchPrivatePage("HTTP://VELLUMTRACE.LOCALHOST/nothing?x=1").find(unknown),
            std::string::npos);
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/ViewSnippet?id=5").find(unknown),
            std::string::npos);
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/Filter?window=0&id=2").find(unknown),
            std::string::npos);
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/filter").find(unknown),
            std::string::npos);
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/viewsnippet?window=0&id=5")
                .find("Invalid snippet parameter."),
            std::string::npos);
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/compilesnippets?idx=5")
                .find("Invalid snippet compiler parameter."),
            std::string::npos);
}

TEST_F(PrivateHost, FilterPagesCutTheElementFromACopyOfThePage) {
  TmyDOM& s = ShowPage(kPage);
  // Entry 2 is the first table; its copy shows border width 0 and the page keeps its style.
  const std::string table = FetchPrivatePage(FilterAddress(s.WindowNumber, 2));
  EXPECT_EQ(table.rfind("<HTML>", 0), 0u);
  EXPECT_NE(table.find("<title>a1 in link</title>"), std::string::npos) << table;
  EXPECT_NE(Body(table).find("<table style=\"border-width: 0"), std::string::npos) << table;
  // A row entry: the cells without the row tag.
  const std::string row = Body(FetchPrivatePage(FilterAddress(s.WindowNumber, 3)));
  EXPECT_EQ(row.find("<tr"), std::string::npos);
  EXPECT_NE(row.find("a1"), std::string::npos);
  // The links list carries absolute addresses and is not passed through the loader.
  const std::string links = Body(FetchPrivatePage(FilterAddress(s.WindowNumber, 11)));
  EXPECT_NE(links.find(browser::FileUrlFromPath((dir_ / "rel/page.html").string())),
            std::string::npos)
      << links;
  // The script of a cut element is copied as mark-up, never run.
  EXPECT_EQ(s.Document->title(), "Shop");
  EXPECT_EQ(s.Document->tags("TABLE").item(1)->style().borderWidth(), "1px");
}

TEST_F(PrivateHost, ARelativeBaseResolvesOnceInTheCut) {
  TmyDOM& s = ShowPage(
      "<html><head><base href='base/'></head><body><a href='foo.html'>Foo</a></body></html>");
  int link = 0;
  for (int p = 1; p <= s.EntryCount && link == 0; ++p) {
    if (s.Entries[p]->Link == 1) link = p;
  }
  ASSERT_GT(link, 0);
  const std::string cut = Body(FetchPrivatePage(FilterAddress(s.WindowNumber, link)));
  EXPECT_NE(cut.find(browser::FileUrlFromPath((dir_ / "base/foo.html").string())),
            std::string::npos)
      << cut;
  EXPECT_EQ(cut.find("base/base/"), std::string::npos) << cut;
}

TEST_F(PrivateHost, AnElementWithoutMarkupGivesTheMessagePageInsideTheTemplate) {
  TmyDOM& s = ShowPage(kPage);
  const std::string page = FetchPrivatePage(FilterAddress(s.WindowNumber, 0));
  const std::string body = Body(page);
  EXPECT_NE(body.find("<HTML>"), std::string::npos);
  EXPECT_NE(body.find("Filter not found in original document."), std::string::npos);
}

TEST_F(PrivateHost, BadFilterAddressesGiveAnEmptyPageAndTheStatusSaysWhy) {
  TmyDOM& s = ShowPage(kPage);
  const std::string w = std::to_string(s.WindowNumber);
  for (const std::string& query :
       std::vector<std::string>{"window=" + w + "&id=abc", "window=" + w + "&id=5000",
                                std::string("window=-1&id=2"), "window=" + w + "&id=2000"}) {
    status_.SetPanelText(0, "");
    EXPECT_EQ(FetchPrivatePage("http://vellumtrace.localhost/filter?" + query), "") << query;
    EXPECT_EQ(Status().rfind("NsGetOurData ERROR : ", 0), 0u) << query << ": " << Status();
  }
  status_.SetPanelText(0, "");
  FetchPrivatePage("http://vellumtrace.localhost/filter?window=0&id=abc");
  EXPECT_EQ(Status(), "NsGetOurData ERROR : 'abc' is not a valid integer value");
  // A window beyond the list keeps the session chosen before.
  EXPECT_NE(FetchPrivatePage("http://vellumtrace.localhost/filter?window=99&id=2").find("a1"),
            std::string::npos);
}

TEST_F(PrivateHost, ReadHandsOutTheAnswerThenSaysThereIsNoMore) {
  TmyDOM& s = ShowPage(kPage);
  ComPtr<TOurNSHandler> h = MakeCom<TOurNSHandler>();
  ASSERT_EQ(h->Start(FilterAddress(s.WindowNumber, 2).c_str(), nullptr, nullptr, 0, 0), S_OK);
  const ULONG total = static_cast<ULONG>(h->TotalSize());
  ASSERT_GT(total, 10u);
  std::string buffer(total, '\0');
  ULONG n = 0;
  EXPECT_EQ(h->Read(buffer.data(), 10, &n), E_PENDING);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(h->Read(buffer.data() + 10, total, &n), S_FALSE);
  EXPECT_EQ(n, total - 10);
  EXPECT_EQ(h->Read(buffer.data(), total, &n), S_FALSE);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(buffer.rfind("<HTML>", 0), 0u);
  EXPECT_EQ(h->Terminate(0), S_OK);
}

TEST_F(PrivateHost, ABrowserShowsThePrivateHostThroughTheInternetSession) {
  TmyDOM& s = ShowPage(kPage);
  ASSERT_EQ(RegisterPrivateHostHandler(), S_OK);
  ComPtr<browser::WebBrowser> preview = browser::WebBrowser::Create();
  preview->Navigate(FilterAddress(s.WindowNumber, 2));
  ASSERT_TRUE(WaitIdle(*preview));
  ASSERT_TRUE(preview->Document());
  EXPECT_EQ(preview->Document()->tags("TABLE").length(), 1);
  EXPECT_EQ(preview->Document()->title(), "a1 in link");
}

TEST_F(PrivateHost, LoaderIsCompleteScriptFreeAndOffline) {
  ComPtr<TUILess> loader = MakeCom<TUILess>();
  loader->LoadDocument("", "about:blank");
  ASSERT_TRUE(loader->DomDocument());
  EXPECT_TRUE(loader->DomDocument()->body());
  VARIANT ambient;
  EXPECT_EQ(loader->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr,
                           &ambient, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(ambient.GetInt32(), 0x10000F80);
  EXPECT_EQ(
      loader->Invoke(7, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &ambient, nullptr, nullptr),
      DISP_E_MEMBERNOTFOUND);

  loader->LoadDocument("<title>t</title><p id=p>x</p><script>document.title='ran'</script>", "");
  ASSERT_TRUE(loader->DomDocument());
  EXPECT_EQ(loader->DomDocument()->title(), "t");
  // Kept off line: a network address is not loaded and the call returns at once.
  loader->LoadDocument("", "http://127.0.0.1:9/never");
  EXPECT_EQ(loader->DomDocument()->tags("P").length(), 0);
  loader->Close();
  EXPECT_EQ(loader->DomDocument(), nullptr);
}

TEST_F(PrivateHost, HostHandlerShowsTheBandMenuOnlyInFilterMode) {
  TmyDOM& s = ShowPage(kPage);
  widgets::PopupMenu menu("Popup_IE_Filter");
  widgets::MenuItem* open = menu.Add("Open in New Window", 1);
  widgets::MenuItem* filter = menu.Add("Filter", 20);
  widgets::MenuItem* item = filter->Add("Item in New Window", 10);
  widgets::MenuItem* table = filter->Add("Select Table", 21);
  widgets::MenuItem* borders = menu.Add("Show Mouse Borders", 20);
  borders->SetEnabled(false);
  s.PopupMenu = &menu;
  ComPtr<TDocHostUIHandler> handler = MakeCom<TDocHostUIHandler>(&s);
  s.Document->SetUIHandler(ComPtr<IUnknown>(handler->GetUnknown()));

  dom::Document& doc = *s.Document;
  EXPECT_FALSE(browser::AskHostForContextMenu(doc, 10, 20));
  EXPECT_FALSE(menu.IsOpen());

  s.FilterMode = true;
  s.SelectedIndex = 2;  // entry 3, a row of table 1
  EXPECT_TRUE(browser::AskHostForContextMenu(doc, 10, 20));
  EXPECT_TRUE(menu.IsOpen());
  EXPECT_EQ(menu.PopupPoint().x, 10);
  EXPECT_FALSE(open->Enabled());  // no link under the mouse
  EXPECT_TRUE(item->Enabled());
  EXPECT_TRUE(table->Enabled());
  EXPECT_FALSE(borders->Enabled());  // tag 20 finds the submenu first
  EXPECT_EQ(s.FindMenuItemByTag(20), filter);
  menu.CloseUp();
  s.PopupMenu = nullptr;
}

TEST_F(PrivateHost, SinksForwardEveryEventOrNothingWithoutANotification) {
  int calls = 0;
  ComPtr<TBrowserClick> sink = MakeCom<TBrowserClick>([&](IDispatch*) { ++calls; });
  EXPECT_EQ(sink->Invoke(42, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(calls, 1);
  sink->ClearNotification();
  EXPECT_EQ(sink->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(calls, 1);
  UINT count = 0;
  EXPECT_EQ(sink->GetTypeInfoCount(&count), E_NOTIMPL);
}

}  // namespace
}  // namespace vt::testing
