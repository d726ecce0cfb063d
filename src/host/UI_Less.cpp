#include "host/UI_Less.h"

#include "platform/com/classfactory.h"
#include "platform/com/connection.h"
#include "platform/msgloop/message_loop.h"

namespace vt {

using namespace com;

namespace {

// `text` split into lines, each written back with CR LF.
std::string WithCrLfLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) {
      out.append(text, i, std::string::npos);
      out += "\r\n";
      break;
    }
    out.append(text, i, end - i);
    out += "\r\n";
    i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return out;
}

}  // namespace

TUILess::~TUILess() {
  Close();
}

std::shared_ptr<dom::Document> TUILess::DomDocument() const {
  return document_ ? document_->DomDocument() : nullptr;
}

void TUILess::Close() {
  if (!document_) return;
  ComPtr<browser::IHTMLDocument2> document = std::move(document_);
  if (cookie_ != 0) {
    if (auto container = document.As<IConnectionPointContainer>()) {
      ComPtr<IConnectionPoint> point;
      if (SUCCEEDED(
              container->FindConnectionPoint(browser::IPropertyNotifySink::kIid, point.put())) &&
          point) {
        point->Unadvise(cookie_);
      }
    }
    cookie_ = 0;
  }
  if (auto object = document.As<browser::IOleObject>()) object->SetClientSite(nullptr);
}

void TUILess::LoadDocument(const std::string& markup, const std::string& url) {
  Close();
  browser::RegisterHtmlDocumentClass();  // once per process; the browser library's class
  CoCreateInstance(browser::CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER,
                   browser::IHTMLDocument2::kIid, document_.put_void());
  if (!document_) return;
  if (auto object = document_.As<browser::IOleObject>()) object->SetClientSite(this);
  if (auto control = document_.As<browser::IOleControl>()) {
    control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL);
  }
  if (auto container = document_.As<IConnectionPointContainer>()) {
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(
            container->FindConnectionPoint(browser::IPropertyNotifySink::kIid, point.put())) &&
        point) {
      point->Advise(static_cast<browser::IPropertyNotifySink*>(this), &cookie_);
    }
  }
  url_ = url;
  HRESULT result = S_OK;
  if (!markup.empty()) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    const std::string text = WithCrLfLines(markup);
    stream->Write(text.data(), static_cast<ULONG>(text.size()), nullptr);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    auto persist = document_.As<IPersistStreamInit>();
    result = persist ? persist->Load(stream.get()) : E_NOINTERFACE;
  }
  if (!url.empty()) {
    ComPtr<browser::IMoniker> moniker;
    ComPtr<browser::IBindCtx> context;
    browser::CreateURLMoniker(nullptr, url.c_str(), moniker.put());
    browser::CreateBindCtx(0, context.put());
    auto persist = document_.As<browser::IPersistMoniker>();
    result = persist ? persist->Load(FALSE, moniker.get(), context.get(), 0) : E_NOINTERFACE;
  }
  if (FAILED(result) && result != E_PENDING) return;
  // Holds the loader while its loop runs: a handler inside the loop may drop the last other
  // reference.
  ComPtr<TUILess> self(this);
  msgloop::MessageLoop& loop = msgloop::UiLoop();
  msgloop::MSG msg;
  bool quit_by_us = false;
  while (loop.GetMessage(msg)) {
    if (msg.hwnd == 0 && msg.message == kLoaderCompleteMessage && !msg.task) {
      // A loader started inside this loop completes through the same message: the one that
      // is not ours yet goes back to the queue for the loop it belongs to.
      if (Complete()) {
        quit_by_us = true;
        loop.PostQuitMessage(0);
      } else {
        loop.PostThreadMessage(kLoaderCompleteMessage, 0, 0);
      }
      continue;
    }
    loop.DispatchMessage(msg);
  }
  // A quit meant for the loop around this one (the program ending) is handed on to it.
  if (!quit_by_us) loop.PostQuitMessage(static_cast<int>(msg.wParam));
}

bool TUILess::Complete() const {
  if (!document_) return true;
  VARIANT state;
  return SUCCEEDED(document_->Invoke(DISPID_READYSTATE, IID_NULL, 2048, DISPATCH_PROPERTYGET,
                                     nullptr, &state, nullptr, nullptr)) &&
         state.GetInt32().value_or(0) == 4;
}

HRESULT TUILess::SaveObject() {
  return E_NOTIMPL;
}
HRESULT TUILess::GetMoniker(DWORD, DWORD, browser::IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT TUILess::GetContainer(browser::IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT TUILess::ShowObject() {
  return E_NOTIMPL;
}
HRESULT TUILess::OnShowWindow(BOOL) {
  return E_NOTIMPL;
}
HRESULT TUILess::RequestNewObjectLayout() {
  return E_NOTIMPL;
}

HRESULT TUILess::OnChanged(DISPID dispid) {
  if (dispid != DISPID_READYSTATE || !document_) return S_OK;
  if (Complete()) {
    msgloop::UiLoop().PostThreadMessage(kLoaderCompleteMessage, 0, 0);
  }
  return S_OK;
}
HRESULT TUILess::OnRequestEdit(DISPID) {
  return E_NOTIMPL;
}

HRESULT TUILess::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}
HRESULT TUILess::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}
HRESULT TUILess::GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}
HRESULT TUILess::Invoke(DISPID member, const GUID&, LCID, WORD, DISPPARAMS*, VARIANT* result,
                        EXCEPINFO*, UINT*) {
  if (member != DISPID_AMBIENT_DLCONTROL) return DISP_E_MEMBERNOTFOUND;
  if (result) *result = VARIANT(kLoaderDownloadControl);
  return S_OK;
}

}  // namespace vt
