#pragma once
// TUILess: an invisible, script-free HTML document that loads mark-up or an address and is
// complete when LoadDocument returns. It is the document's client site: its ambient download
// control keeps scripts, applets and controls from running and the network from being asked.
//
// UI thread. LoadDocument runs a message loop until the document is complete, so anything of
// the thread (timer ticks, navigations, other requests) can run inside it.
// Ownership: the creator holds the loader and must Close it when done. The document holds the
// loader as its client site and notification sink until then, so a loader that is only released
// would keep itself and its document alive.
#include <string>

#include "platform/browser/mshtml.h"
#include "platform/com/dispatch.h"

namespace vt {

// The thread message that ends the load loop once the document is complete.
inline constexpr unsigned kLoaderCompleteMessage = 1025;  // WM_USER + 1
// DLCTL_NO_SCRIPTS | NO_JAVA | NO_RUNACTIVEXCTLS | NO_DLACTIVEXCTLS | DOWNLOADONLY | FORCEOFFLINE
inline constexpr std::int32_t kLoaderDownloadControl = 0x10000F80;

class TUILess final
    : public com::ComObject<browser::IOleClientSite, browser::IPropertyNotifySink, com::IDispatch> {
 public:
  ~TUILess() override;

  // Creates the document and loads `markup` (when not empty), then `url` (when not empty);
  // returns once the document is complete, or at once when the load call fails.
  void LoadDocument(const std::string& markup, const std::string& url);
  // The loader's document; null before LoadDocument.
  const com::ComPtr<browser::IHTMLDocument2>& Document() const { return document_; }
  std::shared_ptr<dom::Document> DomDocument() const;
  const std::string& Url() const { return url_; }
  void Close();

  // IOleClientSite
  com::HRESULT SaveObject() override;
  com::HRESULT GetMoniker(com::DWORD assign, com::DWORD which, browser::IMoniker** out) override;
  com::HRESULT GetContainer(browser::IOleContainer** out) override;
  com::HRESULT ShowObject() override;
  com::HRESULT OnShowWindow(com::BOOL show) override;
  com::HRESULT RequestNewObjectLayout() override;
  // IPropertyNotifySink
  com::HRESULT OnChanged(com::DISPID dispid) override;
  com::HRESULT OnRequestEdit(com::DISPID dispid) override;
  // IDispatch: the ambient properties of the client site.
  com::HRESULT GetTypeInfoCount(com::UINT* count) override;
  com::HRESULT GetTypeInfo(com::UINT index, com::LCID lcid, com::ITypeInfo** out) override;
  com::HRESULT GetIDsOfNames(const com::GUID& iid, const char* const* names, com::UINT count,
                             com::LCID lcid, com::DISPID* ids) override;
  com::HRESULT Invoke(com::DISPID member, const com::GUID& iid, com::LCID lcid, com::WORD flags,
                      com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo,
                      com::UINT* argErr) override;

 private:
  bool Complete() const;  // the document reports the ready state complete
  com::ComPtr<browser::IHTMLDocument2> document_;
  std::string url_;
  com::DWORD cookie_ = 0;
};

}  // namespace vt
