#include "ui/BandForm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/IEBrowserHelper.h"
#include "host/clsids.h"
#include "platform/ado/ado.h"
#include "platform/browser/url.h"
#include "platform/msgloop/clock.h"
#include "platform/registry/registry.h"
#include "storage/datamodule.h"
#include "storage/install.h"

namespace vt {
namespace {

namespace fs = std::filesystem;
using widgets::LedColor;

class BandFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionList::ResetForTests();
    SetCurrentSession(nullptr);
    registry::DeleteKey(registry::HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace");
    BandState() = {};
    dir_ = fs::temp_directory_path() /
           ("vt-ui-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    browser_ = browser::WebBrowser::Create();
  }
  void TearDown() override {
    form_.reset();
    if (session_) session_->ReleaseSession();
    data_module_.ADOConnection.Close();
    fs::remove_all(dir_);
  }
  void InstallDatabase() {
    auto result = storage::InstallProgramFolder((dir_ / "app").string(), (dir_ / "cache").string());
    ASSERT_TRUE(result.problems.empty());
    TmyRegistry().WriteString(settings::AppDir, result.app_dir);
  }
  TBandForm& MakeForm() {
    session_ = new TmyDOM(com::ComPtr<browser::IWebBrowser2>(browser_.get()));
    form_ = std::make_unique<TBandForm>(0, data_module_, *session_);
    return *form_;
  }
  void Tick() {
    clock_->Advance(std::chrono::milliseconds(250));
    loop_.ProcessMessages();
  }
  std::string WritePage(const std::string& name, const std::string& html) {
    std::ofstream(dir_ / name) << html;
    return browser::FileUrlFromPath((dir_ / name).string());
  }

  std::shared_ptr<msgloop::FakeClock> clock_ = std::make_shared<msgloop::FakeClock>();
  msgloop::MessageLoop loop_{clock_};
  fs::path dir_;
  com::ComPtr<browser::WebBrowser> browser_;
  TDataModule1 data_module_;
  TmyDOM* session_ = nullptr;
  std::unique_ptr<TBandForm> form_;
};

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
  EXPECT_EQ(BandState().BandWidth, 257);
  Tick();
  TmyRegistry reg;
  EXPECT_EQ(reg.ReadInteger(settings::BandWidth), 257);
  // BarSize carries the width the browser opens the bar with.
  auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(BandClsidText()));
  ASSERT_TRUE(key);
  EXPECT_EQ(BarSizeFromBytes(*key->TryReadBinary(std::string(kBarSize))), 200);
}

}  // namespace
}  // namespace vt
