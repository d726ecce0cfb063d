#include "shell/band_site.h"

#include <cctype>
#include <cstdio>

#include "config/myRegistry.h"
#include "host/clsids.h"
#include "platform/com/classfactory.h"
#include "platform/com/ole.h"
#include "platform/registry/registry.h"
#include "platform/widgets/control.h"

namespace vt::shell {

using namespace com;

// The band site of one window's bar: the window the band's form is a child of, the focus
// callback, a command target that knows no commands, and the window's browser as the
// SID_SWebBrowserApp service.
class BandSite final
    : public ComObject<IInputObjectSite, IOleWindow, IOleCommandTarget, IServiceProvider> {
 public:
  explicit BandSite(ComPtr<browser::WebBrowser> browser)
      : browser_(std::move(browser)),
        window_(msgloop::UiLoop().CreateWindowHandle(
            [](msgloop::HWND, msgloop::UINT, msgloop::WPARAM, msgloop::LPARAM) {
              return msgloop::LRESULT{0};
            })) {}
  ~BandSite() override {
    if (msgloop::UiLoop().IsWindow(window_)) msgloop::UiLoop().DestroyWindowHandle(window_);
  }

  bool Focus() const { return focus_; }

  // IInputObjectSite
  HRESULT OnFocusChangeIS(IUnknown*, BOOL focus) override {
    focus_ = focus != 0;
    return S_OK;
  }
  // IOleWindow
  HRESULT GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = window_;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleCommandTarget
  HRESULT QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return kUnknownGroup; }
  HRESULT Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override { return kUnknownGroup; }
  // IServiceProvider
  HRESULT QueryService(const GUID& service, const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (service != SID_SWebBrowserApp) return SVC_E_UNKNOWNSERVICE;
    return browser_->QueryInterface(iid, out);
  }

 private:
  static constexpr HRESULT kUnknownGroup = MakeHresult(0x80040104u);  // OLECMDERR_E_UNKNOWNGROUP
  ComPtr<browser::WebBrowser> browser_;
  msgloop::HWND window_;
  bool focus_ = false;
};

namespace {

constexpr int kDefaultBarWidth = 200;

std::optional<int> ReadBarSize(const GUID& clsid) {
  try {
    auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(ToString(clsid)));
    if (!key) return std::nullopt;
    auto bytes = key->TryReadBinary(kBarSize);
    if (!bytes) return std::nullopt;
    auto width = BarSizeFromBytes(*bytes);
    if (!width || *width < 1 || *width > 100000) return std::nullopt;
    return static_cast<int>(*width);
  } catch (const registry::RegistryError&) {
    return std::nullopt;
  }
}

}  // namespace

msgloop::WPARAM VirtualKeyOf(const std::string& key) {
  if (key == "Tab") return msgloop::VK_TAB;
  if (key == "Enter") return msgloop::VK_RETURN;
  if (key == "Escape") return msgloop::VK_ESCAPE;
  if (key == "Delete") return msgloop::VK_DELETE;
  if (key == "Insert") return 45;
  if (key == "Backspace") return 8;
  if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F' && std::isdigit(key[1])) {
    const int n = std::atoi(key.c_str() + 1);
    if (n >= 1 && n <= 12) return static_cast<msgloop::WPARAM>(0x6F + n);
  }
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0])))
    return static_cast<msgloop::WPARAM>(std::toupper(static_cast<unsigned char>(key[0])));
  return 0;
}

HostedExplorerBar::HostedExplorerBar(const GUID& band_clsid) : clsid_(band_clsid) {}

HostedExplorerBar::~HostedExplorerBar() {
  // The shell closes its bars before it goes; a bar still open here is closed all the same so
  // that its form saves its state.
  while (!bars_.empty()) {
    Hosted hosted = std::move(bars_.begin()->second);
    bars_.erase(bars_.begin());
    hosted.band->CloseDW(0);
    if (auto with_site = hosted.band.As<IObjectWithSite>()) with_site->SetSite(nullptr);
  }
}

ExplorerBar::BarView HostedExplorerBar::Open(ShellWindow& window) {
  Close(window);
  last_error_.clear();
  Hosted hosted;
  hosted.band = CoCreate<IDeskBand>(clsid_);
  if (!hosted.band) {
    last_error_ =
        "The explorer bar " + ToString(clsid_) + " could not be created. " + CoLastErrorDetail();
    std::fprintf(stderr, "vellumtrace: %s\n", last_error_.c_str());
    return {};
  }
  hosted.site = MakeCom<BandSite>(ComPtr<browser::WebBrowser>(&window.Browser()));
  if (auto with_site = hosted.band.As<IObjectWithSite>())
    with_site->SetSite(static_cast<IOleWindow*>(hosted.site.get()));

  DESKBANDINFO info;
  info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                DBIM_MODEFLAGS | DBIM_BKCOLOR;
  int width = kDefaultBarWidth;
  if (SUCCEEDED(hosted.band->GetBandInfo(0, 0, &info)) && info.ptActual.x > 0)
    width = info.ptActual.x;
  if (auto stored = ReadBarSize(clsid_)) width = *stored;

  HWND form_window = 0;
  hosted.band->GetWindow(&form_window);
  hosted.form_window = form_window;
  hosted.band->ShowDW(-1);
  // The site shows and hides the band's window.
  widgets::Control* form = form_window ? widgets::WindowControl(form_window) : nullptr;
  if (form) form->SetVisible(true);
  // A shown window is painted once the loop runs again.
  if (form_window) msgloop::UiLoop().PostMessage(form_window, msgloop::WM_PAINT);
  bars_[window.Id()] = std::move(hosted);
  return {form, width};
}

void HostedExplorerBar::Close(ShellWindow& window) {
  auto it = bars_.find(window.Id());
  if (it == bars_.end()) return;
  Hosted hosted = std::move(it->second);
  bars_.erase(it);
  hosted.band->ShowDW(0);
  hosted.band->CloseDW(0);
  if (auto with_site = hosted.band.As<IObjectWithSite>()) with_site->SetSite(nullptr);
}

void HostedExplorerBar::Show(ShellWindow& window, bool visible) {
  auto it = bars_.find(window.Id());
  if (it == bars_.end()) return;
  it->second.band->ShowDW(visible ? -1 : 0);
  if (auto* form = widgets::WindowControl(it->second.form_window)) form->SetVisible(visible);
  if (visible && it->second.form_window)
    msgloop::UiLoop().PostMessage(it->second.form_window, msgloop::WM_PAINT);
}

std::optional<int> HostedExplorerBar::StoredWidth(ShellWindow&) {
  return ReadBarSize(clsid_);
}

void HostedExplorerBar::Resized(ShellWindow&, int width) {
  // The bar's width is the browser's to keep, under the band's own key.
  try {
    registry::CreateKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(ToString(clsid_)))
        .WriteBinary(std::string(kBarSize), BarSizeBytes(width));
  } catch (const registry::RegistryError& e) {
    std::fprintf(stderr, "vellumtrace: the bar width was not saved: %s\n", e.what());
  }
}

bool HostedExplorerBar::TranslateKey(ShellWindow& window, const nlohmann::json& key) {
  auto it = bars_.find(window.Id());
  if (it == bars_.end()) return false;
  auto input = it->second.band.As<IInputObject>();
  if (!input) return false;
  const msgloop::WPARAM code = VirtualKeyOf(key.value("key", std::string()));
  if (code == 0) return false;
  MSG msg;
  msg.hwnd = it->second.form_window;
  msg.message = msgloop::WM_KEYDOWN;
  msg.wParam = code;
  // S_OK: the band took the key; S_FALSE: the site handles it (Tab moves the focus on).
  return input->TranslateAcceleratorIO(&msg) == S_OK;
}

void HostedExplorerBar::ChildInput(ShellWindow& window) {
  auto it = bars_.find(window.Id());
  if (it == bars_.end() || !it->second.form_window) return;
  msgloop::UiLoop().SendMessage(it->second.form_window, msgloop::WM_PARENTNOTIFY,
                                msgloop::WM_LBUTTONDOWN);
}

ComPtr<IDeskBand> HostedExplorerBar::Band(const ShellWindow& window) const {
  auto it = bars_.find(window.Id());
  return it == bars_.end() ? ComPtr<IDeskBand>() : it->second.band;
}

bool HostedExplorerBar::BandHasFocus(const ShellWindow& window) const {
  auto it = bars_.find(window.Id());
  return it != bars_.end() && it->second.site->Focus();
}

}  // namespace vt::shell
