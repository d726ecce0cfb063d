#pragma once
// TDocHostUIHandler: the band's say in how the browser treats the page. In filter mode the band's
// own page menu replaces the browser's context menu; everything else stays the browser's way.
// One per band form, attached to every newly parsed top document (SetUIHandler). UI thread.
#include "platform/browser/mshtml.h"

namespace vt {

class TmyDOM;

class TDocHostUIHandler final : public com::ComObject<browser::IDocHostUIHandler> {
 public:
  // `session` may be null (an object made by the class factory serves nobody).
  explicit TDocHostUIHandler(TmyDOM* session = nullptr) : session_(session) {}
  // The form forgets its session before the session goes.
  void Detach() { session_ = nullptr; }

  com::HRESULT ShowContextMenu(com::DWORD id, const browser::POINT* point,
                               com::IUnknown* command_target, com::IDispatch* object) override;
  com::HRESULT GetHostInfo(browser::DOCHOSTUIINFO* info) override;
  com::HRESULT ShowUI(com::DWORD id, browser::IOleInPlaceActiveObject* active,
                      com::IUnknown* command_target, browser::IOleInPlaceFrame* frame,
                      browser::IOleInPlaceUIWindow* document) override;
  com::HRESULT HideUI() override;
  com::HRESULT UpdateUI() override;
  com::HRESULT EnableModeless(com::BOOL enable) override;
  com::HRESULT OnDocWindowActivate(com::BOOL activate) override;
  com::HRESULT OnFrameWindowActivate(com::BOOL activate) override;
  com::HRESULT ResizeBorder(const void* border, browser::IOleInPlaceUIWindow* window,
                            com::BOOL frame_window) override;
  com::HRESULT TranslateAccelerator(const browser::MSGINFO* message, const com::GUID* group,
                                    com::DWORD command) override;
  com::HRESULT GetOptionKeyPath(std::string* key, com::DWORD reserved) override;
  com::HRESULT GetDropTarget(browser::IDropTarget* drop_target,
                             browser::IDropTarget** out) override;
  com::HRESULT GetExternal(com::IDispatch** out) override;
  com::HRESULT TranslateUrl(com::DWORD translate, const std::string& url,
                            std::string* out) override;
  com::HRESULT FilterDataObject(browser::IDataObject* object, browser::IDataObject** out) override;

 private:
  TmyDOM* session_;
};

}  // namespace vt
