#include "host/IEDocHostUIHandler.h"

#include "core/myDOM.h"

namespace vt {

using namespace com;

HRESULT TDocHostUIHandler::ShowContextMenu(DWORD, const browser::POINT* point, IUnknown*,
                                           IDispatch*) {
  if (!session_ || !session_->FilterMode) return S_FALSE;
  try {
    session_->ShowPageContextMenu(point ? static_cast<int>(point->x) : 0,
                                  point ? static_cast<int>(point->y) : 0);
  } catch (const std::exception& e) {
    session_->LogError(e, "ShowContextMenu");
  }
  return S_OK;
}

HRESULT TDocHostUIHandler::GetHostInfo(browser::DOCHOSTUIINFO*) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::ShowUI(DWORD, browser::IOleInPlaceActiveObject*, IUnknown*,
                                  browser::IOleInPlaceFrame*, browser::IOleInPlaceUIWindow*) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::HideUI() {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::UpdateUI() {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::EnableModeless(BOOL) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::OnDocWindowActivate(BOOL) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::OnFrameWindowActivate(BOOL) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::ResizeBorder(const void*, browser::IOleInPlaceUIWindow*, BOOL) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::TranslateAccelerator(const browser::MSGINFO*, const GUID*, DWORD) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::GetOptionKeyPath(std::string*, DWORD) {
  return S_FALSE;
}
HRESULT TDocHostUIHandler::GetDropTarget(browser::IDropTarget*, browser::IDropTarget** out) {
  if (out) *out = nullptr;
  return S_FALSE;
}
HRESULT TDocHostUIHandler::GetExternal(IDispatch** out) {
  if (out) *out = nullptr;
  return S_FALSE;
}
HRESULT TDocHostUIHandler::TranslateUrl(DWORD, const std::string& url, std::string* out) {
  if (out) *out = url;
  return S_FALSE;
}
HRESULT TDocHostUIHandler::FilterDataObject(browser::IDataObject*, browser::IDataObject** out) {
  if (out) *out = nullptr;
  return S_FALSE;
}

}  // namespace vt
