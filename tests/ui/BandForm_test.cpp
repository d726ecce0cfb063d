#include "ui/BandForm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "band_fixture.h"
#include "host/ExplorerBand.h"
#include "host/IEBrowserHelper.h"
#include "host/clsids.h"
#include "platform/ado/ado.h"
#include "platform/browser/url.h"
#include "platform/browser/windows.h"
#include "platform/msgloop/clock.h"
#include "platform/registry/registry.h"
#include "storage/datamodule.h"
#include "storage/help_page.h"
#include "storage/install.h"
#include "storage/urlRecords.h"

namespace vt {
namespace {

namespace fs = std::filesystem;
using widgets::LedColor;

class BandFormTest : public testing::BandFixture {
 protected:
  // Navigates and ticks until the band has handled the completed page, which is the one asked for.
  void Visit(const std::string& url) {
    BandFixture::Visit(url);
    ASSERT_EQ(browser_->LocationURL(), url);
  }
  std::int64_t Scalar(const std::string& sql) { return Scalar(data_module_, sql); }
  static std::int64_t Scalar(TDataModule1& data_module, const std::string& sql) {
    ado::Query q;
    q.SetConnection(&data_module.ADOConnection);
    q.SetCommandText(sql);
    q.Open();
    return q.FieldAt(0).AsInteger();
  }
  // Ticks until `window` has loaded its page (at most 20 ticks).
  void TickWhileBusy(browser::WebBrowser* window) {
    for (int i = 0; i < 20 && window->Busy(); ++i) {
      Tick();
      if (window->Busy() && loop_.WaitMessage(std::chrono::milliseconds(200))) {
        loop_.ProcessMessages();
      }
    }
  }
};

std::vector<std::string> Captions(const widgets::MenuItem& menu) {
  std::vector<std::string> out;
  for (size_t i = 0; i < menu.Count(); ++i) out.push_back(menu.Item(i)->Caption());
  return out;
}

TEST_F(BandFormTest, FreshProfileGetsTheDefaults) {
  TBandForm& form = MakeForm();
  EXPECT_EQ(form.SplitRatio(1), 50);
  EXPECT_EQ(form.SplitRatio(2), 50);
  EXPECT_EQ(form.SplitRatio(4), 50);
  EXPECT_EQ(BandState().BandWidth, 200);
  EXPECT_FALSE(BandState().SlimView);
  EXPECT_FALSE(form.sb_Filter.Down());
  EXPECT_FALSE(form.sb_IndexPage.Down());
  EXPECT_EQ(form.page1.ActivePageIndex(), 0);
  EXPECT_EQ(session_->Status, kStatusNoData);
  EXPECT_EQ(session_->WindowNumber, 0);
  EXPECT_EQ(CurrentSession(), session_);
  TmyRegistry reg;
  EXPECT_EQ(reg.ReadString(settings::sb_Wordindexer), "0");  // written back by the toggle
  EXPECT_EQ(reg.ReadInteger(settings::BandWidth), 200);
  // The helper class is registered for the shell's next windows.
  EXPECT_TRUE(registry::KeyExists(
      registry::HKEY_LOCAL_MACHINE,
      std::string(kBrowserHelperObjectsKey) + "\\" + com::ToString(CLSID_IEBrowserHelper)));
  // Captions and hints of the layout.
  EXPECT_EQ(form.sb_IndexPage.Hint(), "Word Indexer On/Off");
  EXPECT_EQ(form.filter_tab.Caption(), "Filter");
  EXPECT_EQ(form.Drop_SnippetFilterField.Items().size(), 4u);
}

TEST_F(BandFormTest, SplitRatiosAbove95LeaveFivePixels) {
  TmyRegistry reg;
  reg.WriteInteger(settings::SplitRatio2, 96);
  reg.WriteInteger(settings::SplitRatio1, 95);
  TBandForm& form = MakeForm();
  form.filter_tab.SetHeight(300);
  form.snippet_tab.SetHeight(300);
  form.search_tab.SetHeight(301);
  form.FormResize();
  EXPECT_EQ(form.FilterTop.Height(), 295);
  EXPECT_EQ(form.SnippetTop.Height(), 285);
  EXPECT_EQ(form.SearchTop.Height(), 150);  // 150.5 rounds to even
  EXPECT_EQ(form.SplitRatio(2), 98);
  EXPECT_EQ(form.SplitRatio(1), 95);
  form.TearDown();
  EXPECT_EQ(reg.ReadInteger(settings::SplitRatio2), 98);
  EXPECT_EQ(reg.ReadInteger(settings::SplitRatio4), 50);
}

TEST_F(BandFormTest, UnsizedTabsKeepTheirStoredRatio) {
  TmyRegistry reg;
  reg.WriteInteger(settings::SplitRatio4, 30);
  TBandForm& form = MakeForm();
  form.FormResize();
  form.TearDown();
  EXPECT_EQ(reg.ReadInteger(settings::SplitRatio4), 30);
}

TEST_F(BandFormTest, TicksFollowTheBrowserFromNavigationToTheFilledTree) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  auto bho = com::MakeCom<TIEBrowserHelper>();
  bho->SetSite(static_cast<browser::IWebBrowser2*>(browser_.get()));
  form.FormPaint();
  ASSERT_TRUE(form.Started());
  EXPECT_EQ(form.sb1.PanelText(0), "Vellumtrace is Ready");
  EXPECT_TRUE(form.Timer1.Enabled());
  Tick();
  EXPECT_FALSE(form.led1.Lit());
  EXPECT_EQ(form.led1.Hint(), "No data...");

  const std::string url =
      WritePage("page.html",
                "<html><head><title>Two tables</title></head><body>"
                "<table><tr><td>a</td></tr></table><table><tr><td>b</td></tr></table>"
                "<a href='http://a.example/'>a</a><a href='http://b.example/'>b</a>"
                "<a href='http://c.example/'>c</a></body></html>");
  browser_->Navigate(url);
  Tick();
  EXPECT_TRUE(form.led1.Lit());
  EXPECT_EQ(form.led1.Color(), LedColor::Yellow);
  EXPECT_EQ(form.led1.Hint(), "Waiting for browser...");

  for (int i = 0; i < 40 && form.led1.Hint() != "Ready..."; ++i) Tick();
  EXPECT_EQ(form.led1.Color(), LedColor::Green);
  EXPECT_EQ(form.led1.Hint(), "Ready...");
  EXPECT_TRUE(form.tv.FindByText(0, "Tables (2)").Valid());
  EXPECT_TRUE(form.tv.FindByText(0, "Links (3)").Valid());

  ado::Query q;
  q.SetConnection(&data_module_.ADOConnection);
  q.SetCommandText("SELECT Hits FROM URL WHERE URL = " + ado::QuotedStr(url));
  q.Open();
  ASSERT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldByName("Hits").AsInteger(), 1);

  // A new navigation empties the tree before the next page is parsed.
  browser_->Navigate(WritePage("next.html", "<html><body><p>x</p></body></html>"));
  Tick();
  EXPECT_EQ(form.tv.NodeCount(), 0);
  EXPECT_EQ(session_->EntryCount, 0);
  bho->Invoke(com::DISPID_ONQUIT, com::GUID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(BandFormTest, ResizeWritesTheBandWidthOnTheNextTickOnce) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  form.FormPaint();
  form.SetBounds({0, 0, 250, 600});
  form.FormResize();
  EXPECT_EQ(BandState().BandWidth, 250);  // the form fills its bar
  Tick();
  TmyRegistry reg;
  EXPECT_EQ(reg.ReadInteger(settings::BandWidth), 250);
  // BarSize carries the width the browser opens the bar with.
  auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(BandClsidText()));
  ASSERT_TRUE(key);
  EXPECT_EQ(BarSizeFromBytes(*key->TryReadBinary(std::string(kBarSize))), 200);
}

TEST_F(BandFormTest, ABarOpenedAndClosedTenTimesKeepsItsWidth) {
  InstallDatabase();
  TmyRegistry().WriteInteger(settings::BandWidth, 230);
  for (int i = 0; i < 10; ++i) {
    TBandForm& form = MakeForm();
    form.Show();
    form.FormPaint();  // writes BarSize, the width the bar opens with
    auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(BandClsidText()));
    ASSERT_TRUE(key);
    const auto bar = BarSizeFromBytes(*key->TryReadBinary(std::string(kBarSize)));
    ASSERT_EQ(bar, 230) << "opening " << i + 1;
    // The display gives the form the bar's width.
    form.SetBounds({0, 0, static_cast<int>(*bar), 600});
    form.FormResize();
    Tick();
    form_.reset();
    session_->ReleaseSession();
    session_ = nullptr;
  }
  EXPECT_EQ(TmyRegistry().ReadInteger(settings::BandWidth), 230);
}

TEST_F(BandFormTest, SlimViewNarrowsTheBarAndKeepsTheWideWidthForLater) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  form.FormPaint();
  form.SetBounds({0, 0, 300, 600});
  form.FormResize();  // the user made the bar 300 wide
  Tick();
  auto bar_size = [] {
    auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(BandClsidText()));
    return BarSizeFromBytes(*key->TryReadBinary(std::string(kBarSize)));
  };
  widgets::MenuItem* slim = form.Popup_Main.Items().FindByName("SlimView");
  ASSERT_NE(slim, nullptr);
  slim->Click();
  EXPECT_TRUE(slim->Checked());
  EXPECT_FALSE(form.page1.Visible());
  EXPECT_EQ(bar_size(), 60);
  EXPECT_EQ(TmyRegistry().ReadInteger(settings::BandWidth), 300);  // written before narrowing
  EXPECT_EQ(TmyRegistry().ReadString(settings::SlimView), "-1");
  // Resizing the slim bar leaves the wide width alone.
  form.SetBounds({0, 0, 60, 600});
  form.FormResize();
  Tick();
  EXPECT_EQ(TmyRegistry().ReadInteger(settings::BandWidth), 300);
  slim->Click();
  EXPECT_TRUE(form.page1.Visible());
  EXPECT_EQ(bar_size(), 300);

  // A status the lamp does not know leaves it as it was.
  Tick();
  const auto color = form.led1.Color();
  const std::string hint = form.led1.Hint();
  session_->Status = 7;
  Tick();
  EXPECT_EQ(form.led1.Color(), color);
  EXPECT_EQ(form.led1.Hint(), hint);
}

TEST_F(BandFormTest, IndexerOnIndexesACompletedPageOnceOverTheTicks) {
  TmyRegistry().WriteBoolean(settings::sb_Wordindexer, true);
  TBandForm& form = StartedForm();
  ASSERT_TRUE(form.sb_IndexPage.Down());
  ASSERT_NE(form.Indexer(), nullptr);
  const std::string url =
      WritePage("words.html", "<html><body><p>alpha bravo charlie</p></body></html>");
  Visit(url);
  EXPECT_TRUE(form.Indexer()->Indexing());
  for (int i = 0; i < 10 && form.Indexer()->Indexing(); ++i) Tick();
  EXPECT_FALSE(form.Indexer()->Indexing());
  EXPECT_EQ(form.sb1.PanelText(0), "Words added: 3");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM WORDS WHERE Word IN ('alpha', 'bravo', 'charlie')"), 3);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM DICTIONARY"), 3);
  EXPECT_TRUE(LookupUrl(*session_, url));

  // Back on the same page: it is known to be indexed and is left alone.
  Visit(WritePage("other.html", "<html><body></body></html>"));
  Visit(url);
  EXPECT_FALSE(form.Indexer()->Indexing());
  Tick();
  EXPECT_NE(form.sb1.PanelText(0), "Words added: 0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM DICTIONARY"), 3);
}

TEST_F(BandFormTest, IndexerOffIndexesNothingAndPressingItIndexesTheShownPage) {
  TBandForm& form = StartedForm();
  const std::string url =
      WritePage("words.html", "<html><body><p>alpha bravo charlie delta</p></body></html>");
  Visit(url);
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_FALSE(form.Indexer()->Indexing());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM WORDS"), 0);
  EXPECT_FALSE(LookupUrl(*session_, url));

  // Pressing the toggle indexes the page on show; releasing it stops before the page is marked.
  form.sb_IndexPage.Click();
  EXPECT_TRUE(form.Indexer()->Indexing());
  EXPECT_TRUE(form.Popup_Main.Items().FindByName("IndexerOn")->Checked());
  EXPECT_EQ(TmyRegistry().ReadString(settings::sb_Wordindexer), "-1");
  Tick();
  form.sb_IndexPage.Click();
  EXPECT_FALSE(form.Indexer()->Indexing());
  EXPECT_EQ(form.sb1.PanelText(0), "Word indexer cancelled");
  EXPECT_FALSE(form.Popup_Main.Items().FindByName("IndexerOn")->Checked());
  EXPECT_EQ(TmyRegistry().ReadString(settings::sb_Wordindexer), "0");
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_FALSE(LookupUrl(*session_, url));

  // The menu item does the same as the button, and the page is finished this time.
  form.Popup_Main.Items().FindByName("IndexerOn")->Click();
  EXPECT_TRUE(form.sb_IndexPage.Down());
  EXPECT_TRUE(form.Indexer()->Indexing());
  for (int i = 0; i < 10 && form.Indexer()->Indexing(); ++i) Tick();
  EXPECT_TRUE(LookupUrl(*session_, url));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM WORDS"), 4);
}

TEST_F(BandFormTest, LeavingAPageCancelsItsIndexing) {
  TmyRegistry().WriteBoolean(settings::sb_Wordindexer, true);
  TBandForm& form = StartedForm();
  std::string words;
  for (int i = 0; i < 40; ++i)
    words += "word" + std::string(1, static_cast<char>('a' + i % 26)) +
             std::string(1, static_cast<char>('a' + i / 26)) + " ";
  const std::string url = WritePage("long.html", "<html><body><p>" + words + "</p></body></html>");
  Visit(url);
  ASSERT_TRUE(form.Indexer()->Indexing());
  // The preview's blank page loads in real time: let it arrive without a tick, so that the status
  // tells the cancelled indexing rather than the preview still loading.
  for (int i = 0; i < 50 && form.wb2.Busy(); ++i) {
    if (loop_.WaitMessage(std::chrono::milliseconds(100))) loop_.ProcessMessages();
  }
  ASSERT_FALSE(form.wb2.Busy());
  ASSERT_TRUE(form.Indexer()->Indexing());
  session_->NavigationStarted = true;  // what the helper object reports on BeforeNavigate2
  Tick();
  EXPECT_FALSE(form.Indexer()->Indexing());
  EXPECT_EQ(form.sb1.PanelText(0), "Word indexer cancelled");
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_FALSE(LookupUrl(*session_, url));
  EXPECT_LT(Scalar("SELECT COUNT(*) FROM WORDS"), 40);
}

TEST_F(BandFormTest, BandMenuHoldsTheModeTogglesSlimViewAndHelp) {
  TBandForm& form = MakeForm();
  form.Show();
  EXPECT_EQ(form.sb_menu.DropdownMenu(), &form.Popup_Main);
  EXPECT_EQ(Captions(form.Popup_Main.Items()),
            (std::vector<std::string>{"Tools", "Filter on", "Indexer on", "Slim View", "Help"}));
  widgets::MenuItem* help = form.Popup_Main.Items().FindByName("Help");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(Captions(*help), (std::vector<std::string>{"Help Index", "About Vellumtrace"}));

  // "Filter on" and the Filter button are one toggle; an unparsed page is parsed next tick.
  widgets::MenuItem* filter = form.Popup_Main.Items().FindByName("FilterOn");
  session_->SelectedIndex = 4;
  filter->Click();
  EXPECT_TRUE(filter->Checked());
  EXPECT_TRUE(form.sb_Filter.Down());
  EXPECT_TRUE(session_->FilterMode);
  EXPECT_TRUE(session_->DocumentCompleted);
  EXPECT_TRUE(session_->FilterNodeChanged);
  EXPECT_EQ(session_->SelectedIndex, -1);  // the marks are cleared with the selection
  EXPECT_EQ(TmyRegistry().ReadString(settings::sb_Filter), "-1");
  session_->DocumentCompleted = false;
  session_->FilterNodeChanged = false;
  form.sb_Filter.Click();
  EXPECT_FALSE(filter->Checked());
  EXPECT_FALSE(session_->FilterMode);
  EXPECT_FALSE(session_->DocumentCompleted);
  EXPECT_FALSE(session_->FilterNodeChanged);
  EXPECT_EQ(TmyRegistry().ReadString(settings::sb_Filter), "0");

  // A parsed page is not parsed again when the toggle goes down.
  session_->EntryCount = 3;
  form.sb_Filter.Click();
  EXPECT_TRUE(session_->FilterMode);
  EXPECT_FALSE(session_->DocumentCompleted);
  EXPECT_TRUE(session_->FilterNodeChanged);
}

TEST_F(BandFormTest, SavedFilterModeIsRestoredThroughTheToggle) {
  TmyRegistry().WriteBoolean(settings::sb_Filter, true);
  TBandForm& form = MakeForm();
  EXPECT_TRUE(form.sb_Filter.Down());
  EXPECT_TRUE(form.Popup_Main.Items().FindByName("FilterOn")->Checked());
  EXPECT_TRUE(session_->FilterMode);
  EXPECT_TRUE(session_->DocumentCompleted);
}

TEST_F(BandFormTest, AboutShowsNameVersionAndPurpose) {
  TBandForm& form = MakeForm();
  widgets::ClearMessageLog();
  form.Popup_Main.Items().FindByName("AboutVellumtrace")->Click();
  ASSERT_EQ(widgets::MessageLog().size(), 1u);
  const widgets::ShownMessage& shown = widgets::MessageLog().back();
  EXPECT_EQ(shown.caption, "About Vellumtrace");
  EXPECT_EQ(shown.text.rfind("Vellumtrace " VT_VERSION "\n\n", 0), 0u) << shown.text;
  EXPECT_NE(shown.text.find("research band"), std::string::npos);
  EXPECT_EQ(shown.buttons, widgets::MessageButtons::Ok);
}

TEST_F(BandFormTest, HelpOpensTheInstalledPageInANewWindowAtTheContext) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  const std::string page = (dir_ / "app" / storage::kHelpPageName).string();
  EXPECT_EQ(form.HelpFile(), page);
  const size_t before = browser::BrowserWindows().size();

  form.ShowHelp(storage::kHelpSnippetTree);
  auto windows = browser::BrowserWindows();
  ASSERT_EQ(windows.size(), before + 1);
  com::ComPtr<browser::WebBrowser> window = windows.back();
  EXPECT_TRUE(window->Visible());
  TickWhileBusy(window.get());
  EXPECT_EQ(window->LocationURL(), browser::FileUrlFromPath(page) + "#context-2000");
  EXPECT_EQ(window->LocationName(), "Vellumtrace Help");
  window->Quit();

  form.Popup_Main.Items().FindByName("HelpIndex")->Click();
  windows = browser::BrowserWindows();
  ASSERT_EQ(windows.size(), before + 1);
  TickWhileBusy(windows.back().get());
  EXPECT_EQ(windows.back()->LocationURL(), browser::FileUrlFromPath(page));
  windows.back()->Quit();

  // Without the page no window opens and the status bar says how to get it.
  fs::remove(page);
  form.ShowHelp(storage::kHelpFilterTree);
  EXPECT_EQ(browser::BrowserWindows().size(), before);
  EXPECT_EQ(form.sb1.PanelText(0),
            "Help is not installed: run 'vellumtrace install' to write Vellumtrace-help.html "
            "into the program folder");
}

TEST_F(BandFormTest, PaintMessageOfTheFormsWindowStartsTheBandOnce) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  const msgloop::HWND window = form.WindowHandle();
  EXPECT_EQ(widgets::WindowControl(window), &form);
  loop_.PostMessage(window, msgloop::WM_PAINT);
  loop_.ProcessMessages();
  EXPECT_TRUE(form.Started());
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.sb1.PanelText(0), "Vellumtrace is Ready");

  session_->SetStatusText("browsing");
  loop_.PostMessage(window, msgloop::WM_PAINT);
  loop_.ProcessMessages();
  EXPECT_EQ(form.sb1.PanelText(0), "browsing");

  form_.reset();
  EXPECT_EQ(widgets::WindowControl(window), nullptr);
}

// The band site as the shell gives it: the browser as the SID_SWebBrowserApp service.
class BrowserSite : public com::ComObject<shell::IOleCommandTarget, com::IServiceProvider> {
 public:
  explicit BrowserSite(com::ComPtr<browser::WebBrowser> b) : browser_(std::move(b)) {}
  com::HRESULT QueryStatus(const com::GUID*, com::ULONG, shell::OLECMD*,
                           shell::OLECMDTEXT*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Exec(const com::GUID*, com::DWORD, com::DWORD, com::VARIANT*,
                    com::VARIANT*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT QueryService(const com::GUID& service, const com::GUID& iid, void** out) override {
    *out = nullptr;
    if (service != com::SID_SWebBrowserApp) return com::SVC_E_UNKNOWNSERVICE;
    return browser_->QueryInterface(iid, out);
  }

 private:
  com::ComPtr<browser::WebBrowser> browser_;
};

std::string ManyTables(int count) {
  std::string html = "<html><body>";
  for (int i = 0; i < count; ++i) html += "<table><tr><td>a</td><td>b</td></tr></table>";
  return html + "</body></html>";
}

// Runs `action` from the message loop once a parse of `session` is under way, as a message
// handled while the parser lets the loop run.
void WhileParsing(TmyDOM& session, std::function<void()> action) {
  auto task = std::make_shared<std::function<void()>>();
  *task = [&session, action = std::move(action), task] {
    if (!session.Parsing) {
      msgloop::PostToUiThread(*task);
      return;
    }
    action();
    *task = nullptr;  // breaks the cycle
  };
  msgloop::PostToUiThread(*task);
}

TEST_F(BandFormTest, ClosingTheBarWhileATickParsesStopsTheTickAndFreesTheFormAfterIt) {
  InstallDatabase();
  InstallBandForm();
  auto band = com::MakeCom<TExplorerBand>();
  auto site = com::MakeCom<BrowserSite>(browser_);
  ASSERT_EQ(band->SetSite(static_cast<shell::IOleCommandTarget*>(site.get())), com::S_OK);
  com::HWND window = 0;
  ASSERT_EQ(band->GetWindow(&window), com::S_OK);
  auto* form = dynamic_cast<TBandForm*>(band->Form());
  ASSERT_NE(form, nullptr);
  session_ = band->PageSession();
  bho_ = com::MakeCom<TIEBrowserHelper>();
  bho_->SetSite(static_cast<browser::IWebBrowser2*>(browser_.get()));
  form->sb_IndexPage.Click();  // the steps after the parse read the toggle and the indexer
  form->FormPaint();
  const std::string url = WritePage("tables.html", ManyTables(40));
  Visit(url);
  const std::string hits = "SELECT Hits FROM URL WHERE URL = " + ado::QuotedStr(url);
  ASSERT_EQ(Scalar(DataModule1(), hits), 1);

  bool closed = false;
  session_->DocumentCompleted = true;  // Rescan
  WhileParsing(*session_, [&] {
    band->CloseDW(0);
    closed = true;
    EXPECT_EQ(widgets::WindowControl(window), form);  // not freed under the parse
  });
  session_ = nullptr;  // the band releases it
  for (int i = 0; i < 5 && !closed; ++i) Tick();
  ASSERT_TRUE(closed);
  // The tick stopped after the parse: no visit recorded, and the form is gone now.
  EXPECT_EQ(widgets::WindowControl(window), nullptr);
  EXPECT_EQ(Scalar(DataModule1(), hits), 1);
  EXPECT_EQ(SessionList::At(0), nullptr);
  EXPECT_EQ(CurrentSession(), nullptr);
  Tick();
  DataModule1().ADOConnection.Close();
}

TEST_F(BandFormTest, ANavigationWhileAPageIsParsedEndsThatParse) {
  TBandForm& form = StartedForm();
  Visit(WritePage("tables.html", ManyTables(30)));
  ASSERT_TRUE(form.tv.FindByText(0, "Tables (30)").Valid());

  session_->DocumentCompleted = true;
  WhileParsing(*session_, [&] {
    session_->AllTablesPage = "<table>made while the page was parsed</table>";
    session_->NavigationStarted = true;  // the helper object's BeforeNavigate2
    form.Timer1Timer();                  // a tick nested in the parse
  });
  Tick();
  EXPECT_FALSE(session_->NavigationStarted);
  EXPECT_EQ(form.tv.NodeCount(), 0);
  EXPECT_EQ(session_->EntryCount, 0);
  EXPECT_EQ(session_->AllTablesPage, "");
  EXPECT_NE(session_->Status, kStatusReady);
  EXPECT_NE(form.sb1.PanelText(0), "Parsing complete.");
  Tick();
  EXPECT_NE(form.led1.Hint(), "Ready...");
}

TEST_F(BandFormTest, ASettingOfTheWrongTypeIsReportedAndTheOthersStillLoad) {
  InstallDatabase();
  TmyRegistry reg;
  reg.WriteString(settings::SplitRatio1, "40");
  reg.WriteInteger(settings::SplitRatio2, 70);
  reg.WriteBoolean(settings::sb_Wordindexer, true);
  TBandForm& form = MakeForm();
  const std::string report = "Initialize ERROR : Value \"SplitRatio1\" of " + reg.Key().FullName() +
                             " is REG_SZ, not REG_DWORD (its default is used)";
  EXPECT_EQ(form.sb1.PanelText(0), report);
  EXPECT_EQ(form.SplitRatio(1), 50);
  EXPECT_EQ(form.SplitRatio(2), 70);
  EXPECT_TRUE(form.sb_IndexPage.Down());
  EXPECT_EQ(session_->StatusBar, &form.sb1);
  form.FormPaint();
  EXPECT_TRUE(form.Started());
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.sb1.PanelText(0), report);  // start-up does not cover it with "Ready"
  // Closing writes a sound value back.
  form.TearDown();
  EXPECT_EQ(reg.ReadInteger(settings::SplitRatio1), 50);
}

TEST_F(BandFormTest, CommandsThatOpenANewWindowSaveTheBandStateFirst) {
  InstallDatabase();
  TBandForm& form = MakeForm();
  TmyRegistry reg;
  form.page1.SetActivePageIndex(2);
  form.RegCombo2.SetText("quartz");
  form.ShowHelp(storage::kHelpContents);
  EXPECT_EQ(reg.ReadInteger(settings::Page1_tabindex), 2);
  EXPECT_EQ(reg.ReadString(settings::Search_FilterText), "quartz");

  // So do the commands that open their window through the page session.
  form.page1.SetActivePageIndex(1);
  session_->OpenInNewWindow("about:blank");
  EXPECT_EQ(reg.ReadInteger(settings::Page1_tabindex), 1);
  for (auto& window : browser::BrowserWindows()) {
    if (window.get() != browser_.get()) window->Quit();
  }
  form.TearDown();
  EXPECT_FALSE(session_->BeforeNewWindow);
}

}  // namespace
}  // namespace vt
