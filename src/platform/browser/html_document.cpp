// The HTML document class: a dom::Document with the COM face that hosts use to create, load and
// watch a document that shows nowhere.
#include <string>

#include "platform/browser/document_loader.h"
#include "platform/browser/mshtml.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/com/classfactory.h"
#include "platform/msgloop/message_loop.h"

namespace vt::browser {

using namespace com;

namespace {

constexpr const char* kBlankSource = "<html><head></head><body></body></html>";

class UrlMoniker final : public ComObject<IMoniker> {
 public:
  explicit UrlMoniker(std::string url) : url_(std::move(url)) {}
  HRESULT GetDisplayName(std::string* name) override {
    if (!name) return E_POINTER;
    *name = url_;
    return S_OK;
  }

 private:
  std::string url_;
};

class BindContext final : public ComObject<IBindCtx> {};

class HtmlDocument final
    : public ComObject<IHTMLDocument2, IOleObject, IOleControl, IConnectionPointContainer,
                       IPersistStreamInit, IPersistMoniker> {
 public:
  HtmlDocument() : document_(dom::Document::Create()) {
    notify_ = MakeCom<ConnectionPoint>(IPropertyNotifySink::kIid, this);
  }
  ~HtmlDocument() override {
    if (request_) request_->Cancel();
    notify_->DisconnectContainer();
    notify_->UnadviseAll();
  }

  // IHTMLDocument2
  std::shared_ptr<dom::Document> DomDocument() override { return document_; }

  // IDispatch: the ready state as a property.
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(DISPID member, const GUID&, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                 EXCEPINFO*, UINT*) override {
    if (member != DISPID_READYSTATE || !(flags & DISPATCH_PROPERTYGET)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (result) *result = VARIANT(static_cast<std::int32_t>(ready_state_));
    return S_OK;
  }

  // IOleObject
  HRESULT SetClientSite(IOleClientSite* site) override {
    site_ = ComPtr<IOleClientSite>(site);
    ReadAmbientDownloadControl();
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** out) override {
    if (!out) return E_POINTER;
    return site_.CopyTo(out);
  }

  // IOleControl
  HRESULT OnAmbientPropertyChange(DISPID dispid) override {
    if (dispid == DISPID_AMBIENT_DLCONTROL || dispid == DISPID_UNKNOWN) {
      ReadAmbientDownloadControl();
    }
    return S_OK;
  }

  // IConnectionPointContainer
  HRESULT FindConnectionPoint(const GUID& iid, IConnectionPoint** out) override {
    return FindConnectionPointIn({notify_.get()}, iid, out);
  }

  // IPersistStreamInit
  HRESULT GetClassID(GUID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_HTMLDocument;
    return S_OK;
  }
  HRESULT IsDirty() override { return document_->IsDirty() ? S_OK : S_FALSE; }
  HRESULT Load(IStream* stream) override {
    if (!stream) return E_POINTER;
    try {
      Cancel();
      SetReadyState(READYSTATE_LOADING);
      document_->LoadSource(ReadAllFromStream(stream));
      CompleteLater();
      return S_OK;
    } catch (const std::exception&) {
      return E_FAIL;
    }
  }
  HRESULT Save(IStream* stream, BOOL clear_dirty) override {
    if (!stream) return E_POINTER;
    try {
      const std::string source = document_->Save(clear_dirty != 0);
      return stream->Write(source.data(), static_cast<ULONG>(source.size()), nullptr);
    } catch (const std::exception&) {
      return E_FAIL;
    }
  }
  HRESULT GetSizeMax(std::uint64_t*) override { return E_NOTIMPL; }
  HRESULT InitNew() override {
    Cancel();
    document_->LoadSource(kBlankSource);
    CompleteLater();
    return S_OK;
  }

  // IPersistMoniker
  HRESULT Load(BOOL, IMoniker* moniker, IBindCtx*, DWORD) override {
    if (!moniker) return E_INVALIDARG;
    std::string url;
    if (FAILED(moniker->GetDisplayName(&url))) return E_INVALIDARG;
    Cancel();
    const std::string scheme = SchemeOf(url);
    // A document kept off line loads nothing from the network.
    if ((download_control_ & DLCTL_FORCEOFFLINE) && scheme != "about" && scheme != "file") {
      return INET_E_DATA_NOT_AVAILABLE;
    }
    SetReadyState(READYSTATE_LOADING);
    if (scheme == "about") {
      document_->LoadSource(kBlankSource);
      document_->SetURL(url);
      CompleteLater();
      return E_PENDING;
    }
    ComPtr<HtmlDocument> self(this);
    request_ = LoadDocumentFromUrl(document_, url, [self](HRESULT) {
      self->request_.reset();
      self->SetReadyState(READYSTATE_COMPLETE);
    });
    return E_PENDING;
  }

 private:
  void ReadAmbientDownloadControl() {
    download_control_ = 0;
    ComPtr<IDispatch> ambient = site_ ? site_.As<IDispatch>() : ComPtr<IDispatch>();
    if (!ambient) return;
    VARIANT value;
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_SYSTEM_DEFAULT,
                                  DISPATCH_PROPERTYGET, nullptr, &value, nullptr, nullptr))) {
      download_control_ = value.GetInt32().value_or(0);
    }
  }
  void Cancel() {
    if (request_) request_->Cancel();
    request_.reset();
    ++generation_;
  }
  // The state changes once the caller has returned, as a document that loads on its own does.
  void CompleteLater() {
    ComPtr<HtmlDocument> self(this);
    const std::uint64_t generation = generation_;
    msgloop::UiLoop().PostTask([self, generation] {
      if (self->generation_ == generation) self->SetReadyState(READYSTATE_COMPLETE);
    });
  }
  void SetReadyState(READYSTATE state) {
    if (ready_state_ == state) return;
    ready_state_ = state;
    notify_->ForEachSink([](IUnknown* sink) {
      static_cast<IPropertyNotifySink*>(sink)->OnChanged(DISPID_READYSTATE);
    });
  }

  std::shared_ptr<dom::Document> document_;
  ComPtr<ConnectionPoint> notify_;
  ComPtr<IOleClientSite> site_;
  std::int32_t download_control_ = 0;
  READYSTATE ready_state_ = READYSTATE_UNINITIALIZED;
  std::shared_ptr<LoadRequest> request_;
  std::uint64_t generation_ = 0;
};

}  // namespace

HRESULT CreateURLMoniker(IMoniker*, const char* url, IMoniker** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!url) return E_INVALIDARG;
  *out = MakeCom<UrlMoniker>(url).Detach();
  return S_OK;
}

HRESULT CreateBindCtx(DWORD, IBindCtx** out) {
  if (!out) return E_POINTER;
  *out = MakeCom<BindContext>().Detach();
  return S_OK;
}

void RegisterHtmlDocumentClass() {
  static const bool registered = [] {
    // Class objects live as long as the process.
    static auto* factory = new ClassFactory<HtmlDocument>();
    DWORD cookie = 0;
    return SUCCEEDED(CoRegisterClassObject(CLSID_HTMLDocument, factory, CLSCTX_INPROC_SERVER,
                                           REGCLS_MULTIPLEUSE, &cookie));
  }();
  (void)registered;
}

bool AskHostForContextMenu(dom::Document& document, long x, long y) {
  ComPtr<IDocHostUIHandler> handler = document.UIHandler()
                                          ? document.UIHandler().As<IDocHostUIHandler>()
                                          : ComPtr<IDocHostUIHandler>();
  if (!handler) return false;
  POINT point{x, y};
  return handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &point, nullptr, nullptr) == S_OK;
}

}  // namespace vt::browser
