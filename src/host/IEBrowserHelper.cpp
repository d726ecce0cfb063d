#include "host/IEBrowserHelper.h"

#include "host/module.h"
#include "host/registration.h"

#include "host/bandstate.h"
#include "host/clsids.h"
#include "platform/msgloop/message_loop.h"
#include "platform/registry/registry.h"

namespace vt {

using namespace com;

namespace {

// The most recent subscription of any helper; each SetSite replaces it.
ComPtr<IConnectionPoint>& LastPoint() {
  static ComPtr<IConnectionPoint> point;
  return point;
}
DWORD g_last_cookie = 0;

// Browser events that are accepted without any action.
bool IsIgnoredBrowserEvent(DISPID id) {
  switch (id) {
    case 100:
    case 102:
    case 104:
    case 105:
    case 107:
    case 108:
    case 112:
    case 113:
    case 251:
    case 252:
    case 254:
    case 255:
    case 256:
    case 257:
    case 258:
    case 260:
      return true;
    default:
      return id >= 262 && id <= 270;
  }
}

}  // namespace

IConnectionPoint* LastHelperConnectionPoint() {
  return LastPoint().get();
}
DWORD LastHelperCookie() {
  return g_last_cookie;
}

TIEBrowserHelper::TIEBrowserHelper() = default;

void* TIEBrowserHelper::QueryOtherInterface(const GUID& iid) {
  if (iid == browser::DIID_DWebBrowserEvents2) return static_cast<IDispatch*>(this);
  return nullptr;
}

HRESULT TIEBrowserHelper::SetSite(IUnknown* site) {
  if (!BandActive()) return S_OK;
  try {
    if (site) {
      ComPtr<IUnknown> unknown(site);
      browser_ = unknown.As<browser::IWebBrowser2>();
      auto container = unknown.As<IConnectionPointContainer>();
      ComPtr<IConnectionPoint> point;
      if (container && SUCCEEDED(container->FindConnectionPoint(browser::DIID_DWebBrowserEvents2,
                                                                point.put()))) {
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &cookie))) {
          // A second SetSite with a new browser ends the subscription to the old one.
          if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
          point_ = point;
          cookie_ = cookie;
          LastPoint() = point;
          g_last_cookie = cookie;
        }
      }
    }
    session_ = CurrentSession();
    session_number_ = session_ ? session_->WindowNumber : -1;
  } catch (...) {
    // Nothing may leave a COM method; a helper without a subscription stays silent.
  }
  return S_OK;
}

HRESULT TIEBrowserHelper::GetSite(const GUID&, void** out) {
  if (out) *out = nullptr;
  return S_OK;
}

HRESULT TIEBrowserHelper::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return E_NOTIMPL;
}

HRESULT TIEBrowserHelper::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT TIEBrowserHelper::GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

TmyDOM* TIEBrowserHelper::PageSession() const {
  // Window numbers are never reused, so an occupied position holding the same pointer means the
  // session is still the one bound at SetSite.
  if (!session_ || session_number_ < 0) return nullptr;
  return SessionList::At(session_number_) == session_ ? session_ : nullptr;
}

HRESULT TIEBrowserHelper::Invoke(DISPID id, const GUID&, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                 EXCEPINFO*, UINT*) {
  if (!BandActive()) return S_OK;
  try {
    TmyDOM* session = PageSession();
    switch (id) {
      case DISPID_BEFORENAVIGATE2:
        if (session) {
          session->NavigationStarted = true;
          session->Status = kStatusWaiting;
          // Lets a timer tick show the waiting state before the navigation goes on.
          msgloop::ProcessMessages();
        }
        return S_OK;
      case DISPID_DOCUMENTCOMPLETE:
        // (pDisp, URL): the top document and its frames all end here alike.
        if (session && !session->DocumentCompleted) session->DocumentCompleted = true;
        return S_OK;
      case DISPID_DOWNLOADBEGIN:
        if (session) session->EventFrame = 0;
        return S_OK;
      case DISPID_ONQUIT:
        // Ends this window's own subscription. (The most recent subscription of the process
        // belongs to whichever window was opened last; withdrawing that one instead would leave
        // the quitting window subscribed and silence the other window.)
        if (point_ && cookie_ != 0) {
          auto point = point_;
          const DWORD cookie = cookie_;
          point_ = nullptr;
          cookie_ = 0;
          if (LastPoint() == point && g_last_cookie == cookie) {
            LastPoint() = nullptr;
            g_last_cookie = 0;
          }
          point->Unadvise(cookie);  // may drop the browser's reference to this helper
        }
        return S_OK;
      default:
        (void)params;
        return IsIgnoredBrowserEvent(id) ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
  } catch (...) {
    return S_OK;
  }
}

ComPtr<IClassFactory> RegisterBrowserHelperFactory() {
  ComPtr<IClassFactory> factory(new TIEBrowserHelperFactory());
  if (!ModulePath().empty()) {
    // In the loaded module: the class is served by DllGetClassObject and found through its
    // registration, which every new factory writes again.
    AddModuleFactory(BrowserHelperClassInfo(), ComPtr<IUnknown>(factory.get()));
    RegisterComClass(BrowserHelperClassInfo(), ModulePath());
    RegisterBrowserHelperKey();
    return factory;
  }
  static DWORD registration = 0;
  DWORD cookie = 0;
  const HRESULT hr = CoRegisterClassObject(CLSID_IEBrowserHelper, factory.get(),
                                           CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(hr)) {
    if (registration != 0) CoRevokeClassObject(registration);
    registration = cookie;
  }
  const std::string clsid = ToString(CLSID_IEBrowserHelper);
  registry::Batch batch;
  registry::CreateKey(registry::HKEY_CLASSES_ROOT, "CLSID\\" + clsid)
      .WriteString("", BrowserHelperClassInfo().description);
  RegisterBrowserHelperKey();
  batch.Commit();
  return factory;
}

}  // namespace vt
