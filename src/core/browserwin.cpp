// The page session and its browsers: documents of frames, new browser windows, the source view.
#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/browser/windows.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"

namespace vt {
namespace {

constexpr long kNewWindowWidth = 700;
constexpr long kNewWindowHeight = 465;

// (screen - size) / 2 taken to the nearest integer, ties to the even one.
long CenteredOffset(long screen, long size) {
  const long diff = screen - size;
  long half = diff >= 0 ? diff / 2 : -((1 - diff) / 2);  // rounded down
  if (diff % 2 != 0 && half % 2 != 0) ++half;            // a tie goes to the even neighbour
  return half;
}

}  // namespace

DocumentRef TmyDOM::DocumentOfBrowser(const BrowserRef& browser) {
  return browser ? browser->Document() : nullptr;
}

void TmyDOM::RefreshDocuments() {
  if (Browser && !Browser->LocationURL().empty()) {
    if (DocumentRef document = Browser->Document()) {
      Document = document;
      WorkDocument = document;
    }
  }
  if (EventFrame > 0 && Document) {
    com::ComPtr<browser::IWebBrowser2> frame;
    const auto& objects = Document->ContainerObjects();
    if (static_cast<std::size_t>(EventFrame - 1) < objects.size() && objects[EventFrame - 1]) {
      frame = objects[EventFrame - 1].As<browser::IWebBrowser2>();
    }
    if (DocumentRef document = DocumentOfBrowser(frame)) WorkDocument = document;
  }
}

BrowserRef TmyDOM::GetFrameBrowser(const DocumentRef& document, int index) {
  if (!document) return nullptr;
  if (index >= 0) {
    const auto& objects = document->ContainerObjects();
    if (static_cast<std::size_t>(index) < objects.size() && objects[index]) {
      if (BrowserRef browser = objects[index].As<browser::IWebBrowser2>()) return browser;
    }
  }
  const auto& window = document->parentWindow();
  if (!window) return nullptr;
  BrowserRef host;
  window->QueryService(com::SID_SWebBrowserApp, browser::IWebBrowser2::kIid, host.put_void());
  return host;
}

BrowserRef TmyDOM::NewBrowserWindow() {
  try {
    if (BeforeNewWindow) BeforeNewWindow();
    com::ComPtr<browser::WebBrowser> window = browser::CreateBrowserWindow();
    if (!window) throw std::runtime_error("The browser window could not be created");
    window->SetAddressBar(true);
    window->SetMenuBar(true);
    window->SetWidth(kNewWindowWidth);
    window->SetHeight(kNewWindowHeight);
    const long width = window->Width();
    const long height = window->Height();
    window->SetLeft(CenteredOffset(browser::Screen::Width(), width));
    window->SetTop(CenteredOffset(browser::Screen::Height(), height));
    window->SetVisible(true);
    return BrowserRef(window.get());
  } catch (const std::exception& e) {
    LogError(e, "NewBrowserWindow");
    return nullptr;
  }
}

void TmyDOM::OpenInNewWindow(const std::string& url) {
  if (BrowserRef window = NewBrowserWindow()) window->Navigate(url);
}

void TmyDOM::ViewSource(const DocumentRef& document, int command) {
  if (command != 2 || !document) return;
  try {
    const std::string source = GetDocumentSource(document);
    BrowserRef window = NewBrowserWindow();
    if (!window) return;
    window->Navigate("about:blank");
    msgloop::PumpUntil([&] { return !window->Busy(); }, msgloop::Milliseconds(10000));
    if (DocumentRef shown = window->Document()) {
      shown->LoadSource("<html><head><title>Source of " + browser::HtmlEscape(document->URL()) +
                        "</title></head><body><pre>" + browser::HtmlEscape(source) +
                        "</pre></body></html>");
    }
  } catch (...) {
    // The source view is a convenience; a failure shows nothing.
  }
}

}  // namespace vt
