#pragma once
// TExplorerBand, the explorer-bar band object. The shell creates one when the user opens the bar
// and hosts it as a band site would: SetSite with a site answering IInputObjectSite, IOleWindow,
// IOleCommandTarget and IServiceProvider (the browser under SID_SWebBrowserApp); GetBandInfo;
// GetWindow, which creates the page session and the band form; ShowDW; TranslateAcceleratorIO
// for the display's keystrokes; CloseDW when the bar closes. UI thread only.
//
// The band form comes from the factory installed with SetBandFormFactory (the user-interface
// library provides it); it receives the site's window and the band's page session. CloseDW tears
// the form down at once; the form, then the session, are freed once every handler that lets the
// message loop run has returned (platform/msgloop/unwind.h). When the form cannot be made, the
// bar stays empty and the browser's status bar says why.
#include <functional>
#include <memory>

#include "core/myDOM.h"
#include "host/bandstate.h"
#include "host/shellband.h"
#include "platform/browser/web_browser.h"

namespace vt {

// What the band object needs of its form.
class BandWindow {
 public:
  virtual ~BandWindow() = default;
  // The form's window: a message-loop window that receives WM_PARENTNOTIFY when one of its
  // child controls is clicked or created.
  virtual msgloop::HWND WindowHandle() const = 0;
  // Stops the form's timer, saves its state, detaches the document sinks and empties its slot
  // in SessionList. Called once, before the form is freed.
  virtual void TearDown() = 0;
};

// Builds the band form as a child of `parent` for `session` (which outlives the form). May throw.
using BandFormFactory =
    std::function<std::unique_ptr<BandWindow>(com::HWND parent, TmyDOM& session)>;
void SetBandFormFactory(BandFormFactory factory);

class TExplorerBand
    : public com::ComObject<shell::IDeskBand, shell::IInputObject, shell::IContextMenu,
                            com::IObjectWithSite, shell::IPersistStreamInit> {
 public:
  TExplorerBand();
  ~TExplorerBand() override;

  // IOleWindow
  com::HRESULT GetWindow(com::HWND* out) override;
  com::HRESULT ContextSensitiveHelp(com::BOOL enter_mode) override;
  // IDockingWindow
  com::HRESULT ShowDW(com::BOOL show) override;
  com::HRESULT CloseDW(com::DWORD reserved) override;
  com::HRESULT ResizeBorderDW(const shell::RECT* border, com::IUnknown* site,
                              com::BOOL reserved) override;
  // IDeskBand
  com::HRESULT GetBandInfo(com::DWORD band_id, com::DWORD view_mode,
                           shell::DESKBANDINFO* info) override;
  // IInputObject
  com::HRESULT UIActivateIO(com::BOOL activate, shell::MSG* msg) override;
  com::HRESULT HasFocusIO() override;
  com::HRESULT TranslateAcceleratorIO(shell::MSG* msg) override;
  // IContextMenu
  com::HRESULT QueryContextMenu(shell::HMENU menu, com::UINT index, com::UINT first, com::UINT last,
                                com::UINT flags) override;
  com::HRESULT InvokeCommand(shell::CMINVOKECOMMANDINFO* info) override;
  com::HRESULT GetCommandString(std::uintptr_t command, com::UINT type, com::UINT* reserved,
                                char* name, com::UINT size) override;
  // IObjectWithSite
  com::HRESULT SetSite(com::IUnknown* site) override;
  com::HRESULT GetSite(const com::GUID& iid, void** out) override;
  // IPersist, IPersistStreamInit
  com::HRESULT GetClassID(com::GUID* clsid) override;
  com::HRESULT IsDirty() override;
  com::HRESULT Load(shell::IStream* stream) override;
  com::HRESULT Save(shell::IStream* stream, com::BOOL clear_dirty) override;
  com::HRESULT GetSizeMax(std::uint64_t* size) override;
  com::HRESULT InitNew() override;

  // For the host and tests.
  com::DWORD BandID() const { return band_id_; }
  com::HWND ParentWindow() const { return parent_window_; }
  TmyDOM* PageSession() const { return session_; }
  BandWindow* Form() const { return form_.get(); }
  const com::ComPtr<browser::IWebBrowser2>& Browser() const { return browser_; }

 private:
  void FocusChange(bool focus);
  // Says in the browser's status bar (and on stderr) why the bar stays empty.
  void ReportFailure(const std::string& reason);
  msgloop::LRESULT Hook(msgloop::HWND hwnd, msgloop::UINT message, msgloop::WPARAM w,
                        msgloop::LPARAM l);

  bool focus_ = false;
  com::DWORD band_id_ = 0;
  msgloop::WindowProc saved_proc_;
  msgloop::HWND hooked_window_ = 0;
  com::HWND parent_window_ = 0;
  com::ComPtr<shell::IInputObjectSite> input_site_;
  com::ComPtr<shell::IOleCommandTarget> command_target_;
  std::unique_ptr<BandWindow> form_;
  TmyDOM* session_ = nullptr;
  com::ComPtr<browser::IWebBrowser2> browser_;
};

// The band's title in the bar.
inline constexpr const char16_t* kBandTitle = u"Vellumtrace";

}  // namespace vt
