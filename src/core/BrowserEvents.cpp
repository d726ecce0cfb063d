#include "core/BrowserEvents.h"

namespace vt {

using namespace com;

HRESULT TBrowserEventSink::GetTypeInfoCount(UINT*) {
  return E_NOTIMPL;
}
HRESULT TBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}
HRESULT TBrowserEventSink::GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT TBrowserEventSink::Invoke(DISPID, const GUID&, LCID, WORD, DISPPARAMS*, VARIANT*,
                                  EXCEPINFO*, UINT*) {
  if (!notification_) return S_OK;
  // Nothing crosses the interface: the handlers report their own failures.
  try {
    Notification notify = notification_;  // the handler may clear it while it runs
    notify(this);
  } catch (...) {
  }
  return S_OK;
}

}  // namespace vt
