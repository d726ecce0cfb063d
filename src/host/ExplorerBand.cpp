#include "host/ExplorerBand.h"

#include <algorithm>
#include <cstdio>

#include "host/clsids.h"
#include "platform/msgloop/unwind.h"

namespace vt {

using namespace com;
using shell::DESKBANDINFO;

namespace {
BandFormFactory& FormFactory() {
  static BandFormFactory factory;
  return factory;
}
}  // namespace

void SetBandFormFactory(BandFormFactory factory) {
  FormFactory() = std::move(factory);
}

TExplorerBand::TExplorerBand() = default;

TExplorerBand::~TExplorerBand() {
  // A site that releases the band without closing it must not leave a form whose window hook
  // points at a freed band.
  if (form_ || session_) CloseDW(0);
}

HRESULT TExplorerBand::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  if (!BandActive()) {
    *out = 0;
    return S_OK;
  }
  // One page session and one form per band object: a repeated call answers the same window.
  if (form_) {
    *out = form_->WindowHandle();
    return S_OK;
  }
  *out = 0;
  try {
    if (!session_) {
      session_ = new TmyDOM(browser_);
    }
    auto& factory = FormFactory();
    if (!factory) return S_OK;
    form_ = factory(parent_window_, *session_);
    if (!form_) return S_OK;
    *out = form_->WindowHandle();
    hooked_window_ = *out;
    saved_proc_ = msgloop::UiLoop().SetWindowProc(
        hooked_window_, [this](msgloop::HWND h, msgloop::UINT m, msgloop::WPARAM w,
                               msgloop::LPARAM l) { return Hook(h, m, w, l); });
  } catch (const std::exception& e) {
    // The bar stays empty; the failure must not fail the browser, but the user must see it.
    ReportFailure(e.what());
  } catch (...) {
    ReportFailure("an unknown error");
  }
  return S_OK;
}

void TExplorerBand::ReportFailure(const std::string& reason) {
  const std::string text = "Vellumtrace could not open its bar: " + reason;
  std::fprintf(stderr, "vellumtrace: %s\n", text.c_str());
  if (browser_) browser_->SetStatusText(text);
}

msgloop::LRESULT TExplorerBand::Hook(msgloop::HWND hwnd, msgloop::UINT message, msgloop::WPARAM w,
                                     msgloop::LPARAM l) {
  if (BandActive() && message == msgloop::WM_PARENTNOTIFY) {
    focus_ = true;
    FocusChange(true);
  }
  // A copy: the form's procedure may close the band, which drops saved_proc_ while it runs.
  const msgloop::WindowProc proc = saved_proc_;
  return proc ? proc(hwnd, message, w, l) : 0;
}

HRESULT TExplorerBand::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

void TExplorerBand::FocusChange(bool focus) {
  if (input_site_)
    input_site_->OnFocusChangeIS(static_cast<shell::IDeskBand*>(this), focus ? -1 : 0);
}

HRESULT TExplorerBand::ShowDW(BOOL show) {
  if (!BandActive()) return S_OK;
  focus_ = show != 0;
  FocusChange(focus_);
  return S_OK;
}

HRESULT TExplorerBand::CloseDW(DWORD) {
  if (form_) {
    std::unique_ptr<BandWindow> form = std::move(form_);
    try {
      form->TearDown();
    } catch (...) {
    }
    if (hooked_window_ && msgloop::UiLoop().IsWindow(hooked_window_)) {
      msgloop::UiLoop().SetWindowProc(hooked_window_, saved_proc_);
    }
    hooked_window_ = 0;
    saved_proc_ = nullptr;
    // A tick or a parse of the form may be suspended in the message loop further up the stack:
    // the form is freed once they have unwound, before the session.
    msgloop::DeleteWhenUnwound(form.release());
  }
  if (session_) {
    TmyDOM* session = std::exchange(session_, nullptr);
    session->ReleaseSession();
  }
  return S_OK;
}

HRESULT TExplorerBand::ResizeBorderDW(const shell::RECT*, IUnknown*, BOOL) {
  return E_NOTIMPL;
}

HRESULT TExplorerBand::GetBandInfo(DWORD band_id, DWORD, DESKBANDINFO* info) {
  if (!BandActive()) return S_OK;
  if (!info) return E_POINTER;
  band_id_ = band_id;
  info->ptMinSize = {-1, 22};
  info->ptMaxSize = {-1, -1};
  info->ptIntegral = {1, 1};
  info->ptActual = {200, -1};
  info->dwModeFlags = shell::DBIMF_VARIABLEHEIGHT;
  if (info->dwMask & shell::DBIM_TITLE) {
    // At most 11 characters and the terminator.
    std::fill(std::begin(info->wszTitle), std::begin(info->wszTitle) + 12, u'\0');
    const std::u16string_view title(kBandTitle);
    std::copy_n(title.begin(), std::min<std::size_t>(title.size(), 11), info->wszTitle);
  }
  info->dwMask &= ~shell::DBIM_BKCOLOR;
  return S_OK;
}

HRESULT TExplorerBand::UIActivateIO(BOOL activate, shell::MSG*) {
  if (!BandActive()) return S_OK;
  focus_ = activate != 0;
  return S_OK;
}

HRESULT TExplorerBand::HasFocusIO() {
  return focus_ ? S_OK : S_FALSE;
}

HRESULT TExplorerBand::TranslateAcceleratorIO(shell::MSG* msg) {
  if (!BandActive()) return S_OK;
  if (!msg) return E_POINTER;
  HRESULT result = S_OK;
  if (msg->wParam == msgloop::VK_TAB) result = S_FALSE;  // the site moves the focus on
  if (result == S_OK) {
    auto& loop = msgloop::UiLoop();
    loop.TranslateMessage(*msg);
    loop.DispatchMessage(*msg);
  }
  return result;
}

HRESULT TExplorerBand::QueryContextMenu(shell::HMENU, UINT, UINT, UINT, UINT) {
  return E_ABORT;
}
HRESULT TExplorerBand::InvokeCommand(shell::CMINVOKECOMMANDINFO*) {
  return S_OK;
}
HRESULT TExplorerBand::GetCommandString(std::uintptr_t, UINT, UINT*, char*, UINT) {
  return S_OK;
}

HRESULT TExplorerBand::SetSite(IUnknown* site) {
  if (!BandActive()) return S_OK;
  if (!site) return S_OK;  // the earlier site's references stay until the band goes
  ComPtr<IUnknown> unknown(site);
  input_site_ = unknown.As<shell::IInputObjectSite>();
  if (auto window = unknown.As<IOleWindow>()) {
    HWND parent = 0;
    if (SUCCEEDED(window->GetWindow(&parent))) parent_window_ = parent;
  }
  command_target_ = unknown.As<shell::IOleCommandTarget>();
  browser_ = nullptr;
  if (command_target_) {
    browser_ = QueryServiceOf<browser::IWebBrowser2>(command_target_.get(), SID_SWebBrowserApp);
  }
  return S_OK;
}

HRESULT TExplorerBand::GetSite(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (input_site_) return input_site_->QueryInterface(iid, out);
  if (command_target_) return command_target_->QueryInterface(iid, out);
  return E_FAIL;
}

HRESULT TExplorerBand::GetClassID(GUID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_ExplorerBand;
  return S_OK;
}

HRESULT TExplorerBand::IsDirty() {
  return S_FALSE;
}
HRESULT TExplorerBand::Load(shell::IStream*) {
  return S_OK;
}
HRESULT TExplorerBand::Save(shell::IStream*, BOOL) {
  return S_OK;
}
HRESULT TExplorerBand::GetSizeMax(std::uint64_t*) {
  return E_NOTIMPL;
}
HRESULT TExplorerBand::InitNew() {
  return E_NOTIMPL;
}

}  // namespace vt
