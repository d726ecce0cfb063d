#include "platform/com/dispatch.h"

namespace vt::com {

HRESULT InvokeMethod(IDispatch* target, DISPID member, std::vector<VARIANT> args, VARIANT* result) {
  if (!target) return E_POINTER;
  DISPPARAMS params = MakeDispParams(std::move(args));
  return target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                        nullptr, nullptr);
}

HRESULT DispatchSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT DispatchSink::GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT DispatchSink::Invoke(DISPID member, const GUID&, LCID, WORD, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excepInfo, UINT*) {
  if (!handler_) return DISP_E_MEMBERNOTFOUND;
  try {
    return handler_(member, params, result);
  } catch (const std::exception& e) {
    if (excepInfo) {
      excepInfo->bstrDescription = e.what();
      excepInfo->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
  } catch (...) {
    return DISP_E_EXCEPTION;
  }
}

void* DispatchSink::QueryOtherInterface(const GUID& iid) {
  if (iid != GUID_NULL && iid == eventsIid_) return static_cast<IDispatch*>(this);
  return nullptr;
}

}  // namespace vt::com
