#pragma once
// Generic OLE interfaces: sites, windows and services.
#include "platform/com/unknown.h"

namespace vt::com {

struct IServiceProvider : IUnknown {
  static constexpr GUID kIid = MakeGuid("{6D5140C1-7436-11CE-8034-00AA006009FA}");
  using Base = IUnknown;
  // The service guidService queried for iid; E_NOINTERFACE (or SVC_E_UNKNOWNSERVICE) and a null
  // *out when the provider has no such service.
  virtual HRESULT QueryService(const GUID& guidService, const GUID& iid, void** out) = 0;
};

inline constexpr HRESULT SVC_E_UNKNOWNSERVICE = MakeHresult(0x80004001u);  // = E_NOTIMPL

// The browser application service: answers the browser object hosting the caller.
inline constexpr GUID SID_SWebBrowserApp = MakeGuid("{0002DF05-0000-0000-C000-000000000046}");

struct IObjectWithSite : IUnknown {
  static constexpr GUID kIid = MakeGuid("{FC4801A3-2BA9-11CF-A229-00AA003D7352}");
  using Base = IUnknown;
  // site may be null (disconnect).
  virtual HRESULT SetSite(IUnknown* site) = 0;
  virtual HRESULT GetSite(const GUID& iid, void** out) = 0;
};

struct IOleWindow : IUnknown {
  static constexpr GUID kIid = MakeGuid("{00000114-0000-0000-C000-000000000046}");
  using Base = IUnknown;
  virtual HRESULT GetWindow(HWND* out) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;
};

// Convenience: QueryService into a smart pointer.
template <class T>
ComPtr<T> QueryServiceOf(IUnknown* object, const GUID& service) {
  ComPtr<T> result;
  if (!object) return result;
  ComPtr<IServiceProvider> provider;
  if (FAILED(object->QueryInterface(IServiceProvider::kIid, provider.put_void()))) return result;
  provider->QueryService(service, IidOf<T>(), result.put_void());
  return result;
}

}  // namespace vt::com
