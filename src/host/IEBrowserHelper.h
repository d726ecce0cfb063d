#pragma once
// TIEBrowserHelper, the browser helper object: one per browser window opened after a band form
// registered its class. It listens to the window's browser events and raises the flags of the
// page session that the band's timer loop acts on (navigation started, loading, document
// complete). UI thread only.
//
// The helper binds to the process's current page session at SetSite. The session may be released
// before the helper goes (its band closes first): the helper then notices that the session left
// SessionList and leaves it alone.
#include <cstdint>

#include "core/myDOM.h"
#include "platform/browser/web_browser.h"
#include "platform/com/com.h"

namespace vt {

class TIEBrowserHelper : public com::ComObject<com::IObjectWithSite, com::IDispatch> {
 public:
  TIEBrowserHelper();

  // IObjectWithSite
  com::HRESULT SetSite(com::IUnknown* site) override;
  com::HRESULT GetSite(const com::GUID& iid, void** out) override;

  // IDispatch
  com::HRESULT GetTypeInfoCount(com::UINT* count) override;
  com::HRESULT GetTypeInfo(com::UINT index, com::LCID locale, com::ITypeInfo** out) override;
  com::HRESULT GetIDsOfNames(const com::GUID& iid, const char* const* names, com::UINT count,
                             com::LCID locale, com::DISPID* ids) override;
  com::HRESULT Invoke(com::DISPID id, const com::GUID& iid, com::LCID locale, com::WORD flags,
                      com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepinfo,
                      com::UINT* arg_err) override;

  // The page session the helper writes to; nullptr when it had none at SetSite or the session
  // has been released since.
  TmyDOM* PageSession() const;

 protected:
  void* QueryOtherInterface(const com::GUID& iid) override;

 private:
  com::ComPtr<browser::IWebBrowser2> browser_;
  TmyDOM* session_ = nullptr;
  int session_number_ = -1;
  // This helper's own subscription (see OnQuit in the implementation).
  com::ComPtr<com::IConnectionPoint> point_;
  com::DWORD cookie_ = 0;
};

// The connection point and cookie of the most recent subscription of any helper of the process
// (empty / 0 before the first).
com::IConnectionPoint* LastHelperConnectionPoint();
com::DWORD LastHelperCookie();

// TIEBrowserHelperFactory: creates a helper per CreateInstance.
using TIEBrowserHelperFactory = com::ClassFactory<TIEBrowserHelper>;

// Creates the helper's class factory, makes it the process's class object of
// CLSID_IEBrowserHelper (replacing the one of an earlier band form) and writes the class's
// registration: HKCR "CLSID\{...}" and the HKLM "Browser Helper Objects" key the shell reads to
// create a helper for each new browser window. Registry failures are thrown (RegistryError).
com::ComPtr<com::IClassFactory> RegisterBrowserHelperFactory();

// The registry key (under HKEY_LOCAL_MACHINE) that names the helper classes of new windows.
inline constexpr const char* kBrowserHelperObjectsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";

}  // namespace vt
