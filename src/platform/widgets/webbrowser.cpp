#include "platform/widgets/webbrowser.h"

namespace vt::widgets {

WebBrowserControl::WebBrowserControl(std::string name, Control* parent)
    : Control("browser", std::move(name), parent), browser_(browser::WebBrowser::Create()) {
  browser_->AddObserver(this);
}

WebBrowserControl::~WebBrowserControl() {
  browser_->RemoveObserver(this);
  browser_->Stop();
}

void WebBrowserControl::OnDocumentChanged(browser::WebBrowser&) {
  Changed();
  Raise(OnNewDocument, *this);
}

void WebBrowserControl::OnStateChanged(browser::WebBrowser&) {
  Changed();
}

void WebBrowserControl::DescribeState(Json& out) const {
  out["browserId"] = browser_->Id();
  out["url"] = browser_->LocationURL();
  out["title"] = browser_->LocationName();
  out["busy"] = browser_->Busy();
}

}  // namespace vt::widgets
