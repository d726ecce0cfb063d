#pragma once
// An embedded browser control: a control that owns a browser object (not a window of its own)
// and shows its document. The display draws the browser's page by its id (browserId); the
// control reports a change whenever the browser shows a new document or its busy state,
// address or title change.

#include <string>

#include "platform/browser/web_browser.h"
#include "platform/widgets/control.h"

namespace vt::widgets {

class WebBrowserControl : public Control, private browser::BrowserObserver {
 public:
  explicit WebBrowserControl(std::string name, Control* parent = nullptr);
  ~WebBrowserControl() override;

  // The owned browser; it lives as long as the control.
  browser::WebBrowser& Browser() const { return *browser_; }
  browser::IWebBrowser2* Interface() const { return browser_.get(); }

  com::HRESULT Navigate(const std::string& url) { return browser_->Navigate(url); }
  std::shared_ptr<dom::Document> Document() const { return browser_->Document(); }
  bool Busy() const { return browser_->Busy(); }
  com::HRESULT Stop() { return browser_->Stop(); }
  std::string LocationURL() const { return browser_->LocationURL(); }

  NotifyEvent OnNewDocument;  // a new document is shown

 protected:
  void DescribeState(Json& out) const override;

 private:
  void OnDocumentChanged(browser::WebBrowser& browser) override;
  void OnStateChanged(browser::WebBrowser& browser) override;

  com::ComPtr<browser::WebBrowser> browser_;
};

}  // namespace vt::widgets
