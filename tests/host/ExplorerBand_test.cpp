#include "host/ExplorerBand.h"

#include "host/clsids.h"
#include "host_fixture.h"
#include "platform/msgloop/unwind.h"

namespace vt {
namespace {

using namespace com;
using namespace shell;
using testing::HostTest;

// A band site as the shell provides one: focus callback, window, command target and the browser
// as a service.
class FakeSite
    : public ComObject<IInputObjectSite, IOleWindow, IOleCommandTarget, IServiceProvider> {
 public:
  explicit FakeSite(ComPtr<browser::WebBrowser> b) : browser_(std::move(b)) {}
  HRESULT OnFocusChangeIS(IUnknown* object, BOOL focus) override {
    focus_calls.push_back(focus);
    last_object = object;
    return S_OK;
  }
  HRESULT GetWindow(HWND* out) override {
    *out = 4711;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return E_NOTIMPL; }
  HRESULT Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT QueryService(const GUID& service, const GUID& iid, void** out) override {
    *out = nullptr;
    if (service != SID_SWebBrowserApp) return SVC_E_UNKNOWNSERVICE;
    return browser_->QueryInterface(iid, out);
  }

  std::vector<BOOL> focus_calls;
  IUnknown* last_object = nullptr;

 private:
  ComPtr<browser::WebBrowser> browser_;
};

struct FormRecord {
  HWND parent = 0;
  TmyDOM* session = nullptr;
  int messages = 0;
  int teardowns = 0;
  int forms = 0;
  bool alive = false;
};

class FakeForm : public BandWindow {
 public:
  explicit FakeForm(FormRecord& r) : r_(r) {
    r_.alive = true;
    ++r_.forms;
    hwnd_ = msgloop::UiLoop().CreateWindowHandle([this](auto, auto, auto, auto) {
      ++r_.messages;
      return msgloop::LRESULT{0};
    });
  }
  ~FakeForm() override {
    msgloop::UiLoop().DestroyWindowHandle(hwnd_);
    r_.alive = false;
  }
  msgloop::HWND WindowHandle() const override { return hwnd_; }
  void TearDown() override { ++r_.teardowns; }

 private:
  FormRecord& r_;
  msgloop::HWND hwnd_ = 0;
};

class ExplorerBandTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    browser_ = browser::WebBrowser::Create();
    site_ = MakeCom<FakeSite>(browser_);
    SetBandFormFactory([this](HWND parent, TmyDOM& session) {
      record_.parent = parent;
      record_.session = &session;
      return std::make_unique<FakeForm>(record_);
    });
  }
  void TearDown() override {
    SetBandFormFactory(nullptr);
    HostTest::TearDown();
  }
  ComPtr<TExplorerBand> ConnectedBand() {
    auto band = MakeCom<TExplorerBand>();
    EXPECT_EQ(band->SetSite(static_cast<IOleWindow*>(site_.get())), S_OK);
    return band;
  }

  ComPtr<browser::WebBrowser> browser_;
  ComPtr<FakeSite> site_;
  FormRecord record_;
};

TEST_F(ExplorerBandTest, BandInfoIsFilledWhateverTheMaskAsks) {
  auto band = ConnectedBand();
  DESKBANDINFO info;
  info.dwMask = DBIM_TITLE;
  ASSERT_EQ(band->GetBandInfo(7, 0, &info), S_OK);
  EXPECT_EQ(band->BandID(), 7u);
  EXPECT_EQ(info.ptMinSize.x, -1);
  EXPECT_EQ(info.ptMinSize.y, 22);
  EXPECT_EQ(info.ptMaxSize.x, -1);
  EXPECT_EQ(info.ptMaxSize.y, -1);
  EXPECT_EQ(info.ptIntegral.x, 1);
  EXPECT_EQ(info.ptIntegral.y, 1);
  EXPECT_EQ(info.ptActual.x, 200);
  EXPECT_EQ(info.ptActual.y, -1);
  EXPECT_EQ(info.dwModeFlags, DBIMF_VARIABLEHEIGHT);
  EXPECT_EQ(std::u16string(info.wszTitle), u"Vellumtrace");
  EXPECT_EQ(info.dwMask, DBIM_TITLE);

  DESKBANDINFO colour;
  colour.dwMask = DBIM_MINSIZE | DBIM_ACTUAL | DBIM_BKCOLOR;
  colour.wszTitle[0] = u'x';
  ASSERT_EQ(band->GetBandInfo(1, 0, &colour), S_OK);
  EXPECT_EQ(colour.dwMask, DBIM_MINSIZE | DBIM_ACTUAL);
  EXPECT_EQ(colour.wszTitle[0], u'x');  // no title asked for
}

TEST_F(ExplorerBandTest, SiteGivesWindowBrowserAndFormCreation) {
  auto band = ConnectedBand();
  EXPECT_EQ(band->ParentWindow(), 4711u);
  EXPECT_EQ(band->Browser().get(), static_cast<browser::IWebBrowser2*>(browser_.get()));

  HWND window = 0;
  ASSERT_EQ(band->GetWindow(&window), S_OK);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(window, band->Form()->WindowHandle());
  EXPECT_EQ(record_.parent, 4711u);
  ASSERT_NE(record_.session, nullptr);
  EXPECT_EQ(record_.session->Browser.get(), band->Browser().get());

  HWND again = 0;
  EXPECT_EQ(band->GetWindow(&again), S_OK);
  EXPECT_EQ(again, window);
  EXPECT_EQ(record_.forms, 1);

  GUID clsid{};
  EXPECT_EQ(band->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_ExplorerBand);
  EXPECT_EQ(band->IsDirty(), S_FALSE);
  EXPECT_EQ(band->QueryContextMenu(0, 0, 0, 0, 0), E_ABORT);
  EXPECT_TRUE(band.As<IDeskBand>());
  EXPECT_TRUE(band.As<IDockingWindow>());
  EXPECT_TRUE(band.As<IPersist>());
  EXPECT_TRUE(band.As<IInputObject>());

  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(record_.teardowns, 1);
  EXPECT_FALSE(record_.alive);
  EXPECT_EQ(band->PageSession(), nullptr);
}

TEST_F(ExplorerBandTest, ChildNotificationGivesTheBandFocusAndTellsTheSite) {
  auto band = ConnectedBand();
  HWND window = 0;
  band->GetWindow(&window);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);

  msgloop::UiLoop().SendMessage(window, msgloop::WM_PARENTNOTIFY, 0x201, 0);
  EXPECT_EQ(band->HasFocusIO(), S_OK);
  ASSERT_EQ(site_->focus_calls.size(), 1u);
  EXPECT_EQ(site_->focus_calls[0], -1);
  EXPECT_EQ(site_->last_object, static_cast<IDeskBand*>(band.get()));
  EXPECT_EQ(record_.messages, 1);  // the form still sees the message

  EXPECT_EQ(band->ShowDW(0), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  EXPECT_EQ(site_->focus_calls.back(), 0);

  // With the flag clear the hook only passes messages on.
  SetBandActive(false);
  msgloop::UiLoop().SendMessage(window, msgloop::WM_PARENTNOTIFY, 0x201, 0);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  EXPECT_EQ(site_->focus_calls.size(), 2u);
  EXPECT_EQ(record_.messages, 2);
  EXPECT_EQ(band->CloseDW(0), S_OK);  // closes even with the flag clear
  EXPECT_EQ(record_.teardowns, 1);
}

TEST_F(ExplorerBandTest, TabIsLeftToTheSiteOtherKeysAreDispatched) {
  auto band = ConnectedBand();
  HWND window = 0;
  band->GetWindow(&window);
  msgloop::MSG tab{window, msgloop::WM_KEYDOWN, msgloop::VK_TAB, 0, {}};
  EXPECT_EQ(band->TranslateAcceleratorIO(&tab), S_FALSE);
  EXPECT_EQ(record_.messages, 0);
  msgloop::MSG key{window, msgloop::WM_KEYDOWN, 'A', 0, {}};
  EXPECT_EQ(band->TranslateAcceleratorIO(&key), S_OK);
  EXPECT_EQ(record_.messages, 1);
  EXPECT_EQ(band->TranslateAcceleratorIO(nullptr), E_POINTER);
}

TEST_F(ExplorerBandTest, ClearedFlagCreatesNothingAndLeavesBandInfo) {
  SetBandActive(false);
  auto band = MakeCom<TExplorerBand>();
  EXPECT_EQ(band->SetSite(static_cast<IOleWindow*>(site_.get())), S_OK);
  EXPECT_EQ(band->ParentWindow(), 0u);
  HWND window = 99;
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, 0u);
  EXPECT_EQ(record_.forms, 0);
  EXPECT_EQ(band->PageSession(), nullptr);
  DESKBANDINFO info;
  info.dwMask = DBIM_BKCOLOR;
  info.ptActual = {3, 4};
  EXPECT_EQ(band->GetBandInfo(5, 0, &info), S_OK);
  EXPECT_EQ(info.dwMask, DBIM_BKCOLOR);
  EXPECT_EQ(info.ptActual.x, 3);
  EXPECT_EQ(band->ShowDW(1), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
}

TEST_F(ExplorerBandTest, ReleasingAnOpenBandClosesItsForm) {
  {
    auto band = ConnectedBand();
    HWND window = 0;
    band->GetWindow(&window);
    ASSERT_TRUE(record_.alive);
  }
  EXPECT_EQ(record_.teardowns, 1);
  EXPECT_FALSE(record_.alive);
}

TEST_F(ExplorerBandTest, FailingFormStillAnswersOk) {
  SetBandFormFactory([](HWND, TmyDOM&) -> std::unique_ptr<BandWindow> {
    throw std::runtime_error("Database file not found");
  });
  auto band = ConnectedBand();
  HWND window = 5;
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, 0u);
  // The bar stays empty, and the browser's status bar says why.
  EXPECT_EQ(browser_->StatusText(), "Vellumtrace could not open its bar: Database file not found");
  EXPECT_EQ(band->CloseDW(0), S_OK);
}

TEST_F(ExplorerBandTest, AFormClosedWhileTheLoopRunsUnderItIsFreedOnceThatCallHasUnwound) {
  auto band = ConnectedBand();
  HWND window = 0;
  band->GetWindow(&window);
  {
    msgloop::LoopScope tick;  // a tick of the form suspended in the message loop
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(record_.teardowns, 1);
    EXPECT_EQ(band->Form(), nullptr);
    EXPECT_EQ(band->PageSession(), nullptr);
    EXPECT_TRUE(record_.alive);
  }
  EXPECT_FALSE(record_.alive);
  EXPECT_FALSE(msgloop::UiLoop().IsWindow(window));
}

}  // namespace
}  // namespace vt
