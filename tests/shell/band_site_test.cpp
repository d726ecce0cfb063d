// The shell hosts the explorer bar as a band object through COM and gives every window the
// browser helper objects registered for new windows.
#include <gtest/gtest.h>

#include <vector>

#include "config/myRegistry.h"
#include "host/ExplorerBand.h"
#include "host/IEBrowserHelper.h"
#include "host/clsids.h"
#include "host/module.h"
#include "host/registration.h"
#include "platform/browser/windows.h"
#include "platform/com/classfactory.h"
#include "platform/msgloop/message_loop.h"
#include "platform/registry/registry.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/standard.h"
#include "shell/band_site.h"
#include "shell/shell.h"

namespace vt::shell {
namespace {

using namespace com;

struct FormLog {
  std::vector<msgloop::UINT> messages;
  std::vector<msgloop::WPARAM> keys;
  int teardowns = 0;
  HWND parent = 0;
  TmyDOM* session = nullptr;
};

// A band form as the band object builds one: a widgets form with its own window.
class FakeBandForm : public widgets::Form, public BandWindow {
 public:
  FakeBandForm(FormLog& log, HWND parent, TmyDOM& session) : widgets::Form("FakeBand"), log_(log) {
    log_.parent = parent;
    log_.session = &session;
    window_ = msgloop::UiLoop().CreateWindowHandle(
        [this](msgloop::HWND, msgloop::UINT m, msgloop::WPARAM w, msgloop::LPARAM) {
          log_.messages.push_back(m);
          if (m == msgloop::WM_KEYDOWN) log_.keys.push_back(w);
          return msgloop::LRESULT{0};
        });
    widgets::SetWindowControl(window_, this);
  }
  ~FakeBandForm() override {
    widgets::SetWindowControl(window_, nullptr);
    msgloop::UiLoop().DestroyWindowHandle(window_);
  }
  msgloop::HWND WindowHandle() const override { return window_; }
  void TearDown() override { ++log_.teardowns; }

 private:
  FormLog& log_;
  msgloop::HWND window_ = 0;
};

// A browser helper object that records its sites.
struct HelperLog {
  std::vector<bool> sites;  // true: a browser, false: null
  IUnknown* last = nullptr;
};
class RecordingHelper : public ComObject<IObjectWithSite> {
 public:
  explicit RecordingHelper(HelperLog& log) : log_(log) {}
  HRESULT SetSite(IUnknown* site) override {
    log_.sites.push_back(site != nullptr);
    log_.last = site;
    return S_OK;
  }
  HRESULT GetSite(const GUID&, void** out) override {
    *out = nullptr;
    return E_FAIL;
  }

 private:
  HelperLog& log_;
};

constexpr GUID kHelperClsid = MakeGuid("{6A1D2C3B-4E5F-4071-8293-A4B5C6D7E8F9}");

class BandSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::DeleteKey(registry::HKEY_CURRENT_USER, "Software");
    registry::DeleteKey(registry::HKEY_LOCAL_MACHINE, "Software");
    ASSERT_EQ(StartBandModule(), S_OK);
    SetBandFormFactory([this](HWND parent, TmyDOM& session) {
      return std::make_unique<FakeBandForm>(form_log_, parent, session);
    });
    ui_ = MessageLoopUiThread(loop_);
    shell_ = std::make_unique<Shell>(*ui_, hub_);
    shell_->SetExplorerBar(&bar_);
  }
  void TearDown() override {
    shell_->CloseAllWindows();
    shell_.reset();
    SetBandFormFactory(nullptr);
    StopBandModule();
    if (helper_cookie_) CoRevokeClassObject(helper_cookie_);
  }
  void RegisterHelper() {
    helper_factory_ = MakeCom<ClassFactory<RecordingHelper>>(
        [this] { return ComPtr<IUnknown>(MakeCom<RecordingHelper>(helper_log_)->GetUnknown()); });
    ASSERT_EQ(CoRegisterClassObject(kHelperClsid, helper_factory_.get(), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &helper_cookie_),
              S_OK);
  }
  void ListHelper() {
    registry::CreateKey(registry::HKEY_LOCAL_MACHINE,
                        std::string(kBrowserHelperObjectsKey) + "\\" + ToString(kHelperClsid));
  }

  msgloop::MessageLoop loop_;
  std::unique_ptr<UiThread> ui_;
  EventHub hub_;
  HostedExplorerBar bar_{CLSID_ExplorerBand};
  std::unique_ptr<Shell> shell_;
  FormLog form_log_;
  HelperLog helper_log_;
  ComPtr<ClassFactory<RecordingHelper>> helper_factory_;
  DWORD helper_cookie_ = 0;
};

TEST_F(BandSiteTest, OpeningTheBarHostsABandOnTheWindowsSiteAndDrawsItsForm) {
  registry::CreateKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(BandClsidText()))
      .WriteBinary(std::string(kBarSize), BarSizeBytes(260));
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  ASSERT_TRUE(window.BarOpen());  // a fresh profile opens windows with their bar

  auto band = bar_.Band(window);
  ASSERT_TRUE(band);
  auto* explorer = static_cast<TExplorerBand*>(band.get());
  // The site answered the window's browser as a service and its own window as the parent.
  ASSERT_TRUE(explorer->Browser());
  EXPECT_EQ(explorer->PageSession()->Browser.get(), explorer->Browser().get());
  EXPECT_NE(form_log_.parent, 0u);
  EXPECT_EQ(form_log_.session, explorer->PageSession());
  // The form behind the band's window is what the bar draws; the stored bar size wins over the
  // band's own 200 pixels.
  ASSERT_NE(window.BarForm(), nullptr);
  EXPECT_EQ(window.BarForm(), widgets::WindowControl(explorer->Form()->WindowHandle()));
  EXPECT_EQ(window.BarWidth(), 260);
  EXPECT_TRUE(window.BarForm()->Visible());  // the site shows the band's window
  // The shown window is painted once the loop turns.
  EXPECT_TRUE(form_log_.messages.empty());
  loop_.ProcessMessages();
  EXPECT_EQ(form_log_.messages, std::vector<msgloop::UINT>{msgloop::WM_PAINT});

  shell_->ShowBar(window, false);
  EXPECT_EQ(form_log_.teardowns, 1);
  EXPECT_FALSE(bar_.Band(window));
  EXPECT_EQ(window.BarForm(), nullptr);
}

TEST_F(BandSiteTest, KeysGoThroughTheBandAndTabIsLeftToTheWindow) {
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  EXPECT_FALSE(bar_.TranslateKey(window, {{"key", "Tab"}}));
  EXPECT_TRUE(bar_.TranslateKey(window, {{"key", "Enter"}}));
  EXPECT_TRUE(bar_.TranslateKey(window, {{"key", "c"}, {"ctrl", true}}));
  EXPECT_FALSE(bar_.TranslateKey(window, {{"key", "Dead"}}));  // no key code: not the band's
  EXPECT_EQ(form_log_.keys, (std::vector<msgloop::WPARAM>{msgloop::VK_RETURN, 'C'}));
  EXPECT_EQ(VirtualKeyOf("F2"), 0x71u);
  EXPECT_EQ(VirtualKeyOf("F13"), 0u);
}

TEST_F(BandSiteTest, PressingAControlOfTheBarGivesTheBandTheFocus) {
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  auto* form = window.BarForm();
  ASSERT_NE(form, nullptr);
  widgets::Button button("Pressed", form, "OK");
  auto* explorer = static_cast<TExplorerBand*>(bar_.Band(window).get());
  explorer->UIActivateIO(0, nullptr);
  shell_->HandleInput(
      nlohmann::json{{"type", "control"}, {"id", button.Id()}, {"input", {{"type", "click"}}}}
          .dump());
  EXPECT_EQ(explorer->HasFocusIO(), S_OK);
  EXPECT_TRUE(bar_.BandHasFocus(window));
}

TEST_F(BandSiteTest, ShowBrowserBarHidesTheBarWithoutClosingItsBand) {
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  auto band = bar_.Band(window);
  loop_.ProcessMessages();
  const std::string clsid = BandClsidText();
  window.Browser().ShowBrowserBar(clsid, false);
  EXPECT_TRUE(window.BarHidden());
  EXPECT_FALSE(window.BarForm()->Visible());
  registry::CreateKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(clsid))
      .WriteBinary(std::string(kBarSize), BarSizeBytes(60));
  window.Browser().ShowBrowserBar(clsid, true);
  EXPECT_FALSE(window.BarHidden());
  EXPECT_EQ(bar_.Band(window).get(), band.get());  // the same band, its form kept
  EXPECT_TRUE(window.BarForm()->Visible());
  EXPECT_EQ(form_log_.teardowns, 0);
  EXPECT_EQ(window.BarWidth(), 60);  // the bar takes the size written meanwhile
  loop_.ProcessMessages();
  EXPECT_EQ(std::count(form_log_.messages.begin(), form_log_.messages.end(), msgloop::WM_PAINT), 2);
}

TEST_F(BandSiteTest, ClosingABarIsRememberedForTheWindowsThatFollow) {
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  shell_->ShowBar(window, false);
  EXPECT_FALSE(Shell::BarWanted());
  com::ComPtr<browser::WebBrowser> second = browser::CreateBrowserWindow();
  EXPECT_FALSE(shell_->FindWindow(second->Id())->BarOpen());
  shell_->ShowBar(window, true);
  EXPECT_TRUE(Shell::BarWanted());
  com::ComPtr<browser::WebBrowser> third = browser::CreateBrowserWindow();
  EXPECT_TRUE(shell_->FindWindow(third->Id())->BarOpen());
  // A window opened while the band-active flag is down gets no band.
  SetBandActive(false);
  com::ComPtr<browser::WebBrowser> fourth = browser::CreateBrowserWindow();
  SetBandActive(true);
  EXPECT_FALSE(shell_->FindWindow(fourth->Id())->BarOpen());
}

TEST_F(BandSiteTest, ABarButtonAddedMeanwhileReachesTheDisplayAndOpensAndClosesItsBar) {
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  EXPECT_TRUE(shell_->ToolbarButtons().empty());
  const uint64_t seen = hub_.LastSeq();
  const std::string guid = AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace",
                                            BandClsidText(), "/nowhere/icon.ico", "");
  loop_.ProcessMessages();  // the registry's change is read on the next turn of the loop
  ASSERT_EQ(shell_->ToolbarButtons().size(), 1u);
  bool published = false;
  for (const HubEvent& e : hub_.WaitAfter(seen, std::chrono::milliseconds(0))) {
    auto event = nlohmann::json::parse(e.json);
    if (event["type"] != "toolbar-buttons") continue;
    published = true;
    ASSERT_EQ(event["buttons"].size(), 1u);
    EXPECT_EQ(event["buttons"][0]["id"], guid);
    EXPECT_EQ(event["buttons"][0]["text"], "Vellumtrace");
    EXPECT_EQ(event["buttons"][0]["hosted"], true);
    EXPECT_EQ(event["buttons"][0]["icon"], "");  // a missing icon is not offered
  }
  EXPECT_TRUE(published);

  ASSERT_TRUE(window.BarOpen());
  EXPECT_EQ(shell_->PressToolbarButton(window, guid)["open"], false);
  EXPECT_FALSE(window.BarOpen());
  EXPECT_EQ(form_log_.teardowns, 1);
  EXPECT_EQ(shell_->PressToolbarButton(window, guid)["open"], true);
  EXPECT_TRUE(bar_.Band(window));
  // A bar hidden by ShowBrowserBar is shown again by its button, with the same band.
  auto band = bar_.Band(window);
  window.Browser().ShowBrowserBar(BandClsidText(), false);
  EXPECT_EQ(shell_->PressToolbarButton(window, guid)["open"], true);
  EXPECT_EQ(bar_.Band(window).get(), band.get());

  // A button of a bar the shell does not host says so and changes nothing.
  const std::string other = AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Other",
                                             "{0F0F0F0F-0000-0000-0000-000000000001}", "", "");
  loop_.ProcessMessages();
  const auto answer = shell_->PressToolbarButton(window, other);
  EXPECT_EQ(answer["error"],
            "The explorer bar {0F0F0F0F-0000-0000-0000-000000000001} of the button \"Other\" is "
            "not installed in Vellumtrace.");
  EXPECT_TRUE(window.BarOpen());
  EXPECT_THROW(shell_->PressToolbarButton(window, "{no such button}"), std::invalid_argument);

  RemoveToolbarButton("Vellumtrace");
  loop_.ProcessMessages();
  EXPECT_EQ(shell_->ToolbarButtons().size(), 1u);
}

TEST_F(BandSiteTest, HelpersAreMadeForEachWindowOnceTheirClassCanBeCreated) {
  ListHelper();  // listed, but no factory yet: the first window gets none
  ShellWindow& window = shell_->OpenMainWindow("about:blank");
  EXPECT_TRUE(helper_log_.sites.empty());
  RegisterHelper();
  // Opening the bar gives the window the helper it lacked, sited on its browser.
  shell_->ShowBar(window, false);
  shell_->ShowBar(window, true);
  ASSERT_EQ(helper_log_.sites, std::vector<bool>{true});
  EXPECT_EQ(helper_log_.last, window.Browser().GetUnknown());
  // Reopening the bar binds the same helper again instead of making a second one.
  shell_->ShowBar(window, false);
  shell_->ShowBar(window, true);
  EXPECT_EQ(helper_log_.sites, (std::vector<bool>{true, true}));
  // A new window gets its own at once, and binds it again when its own bar has opened; closing
  // the window unsites it.
  com::ComPtr<browser::WebBrowser> second = browser::CreateBrowserWindow();
  EXPECT_EQ(helper_log_.sites, (std::vector<bool>{true, true, true, true}));
  second->Quit();
  EXPECT_EQ(helper_log_.sites.back(), false);
}

}  // namespace
}  // namespace vt::shell
