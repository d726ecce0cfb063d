#pragma once
// The browser helper objects of the shell's windows. For each window the shell creates one helper
// of every class named under HKEY_LOCAL_MACHINE\...\Browser Helper Objects that can be created,
// hands it the window's browser with SetSite, and at the window's end calls SetSite(nullptr) and
// releases it. UI thread only.
#include <map>
#include <string>

#include "platform/browser/web_browser.h"
#include "platform/com/com.h"

namespace vt::shell {

class BrowserHelpers {
 public:
  BrowserHelpers() = default;
  ~BrowserHelpers();
  BrowserHelpers(const BrowserHelpers&) = delete;
  BrowserHelpers& operator=(const BrowserHelpers&) = delete;

  // Creates the helpers `browser` does not have yet; a class that cannot be created now (its
  // factory appears only later in the process) is tried again at the next call. Answers how many
  // were created.
  int Attach(browser::WebBrowser& browser);
  // Hands every helper of `browser` its browser again, so that each binds to what the process
  // offers now (a band opened in that window since).
  void Rebind(browser::WebBrowser& browser);
  // SetSite(nullptr) and release of every helper of `browser`.
  void Detach(browser::WebBrowser& browser);

  // The classes (38-character CLSID texts) whose helpers `browser` has.
  std::vector<std::string> ClassesOf(const browser::WebBrowser& browser) const;

 private:
  std::map<int, std::map<std::string, com::ComPtr<com::IObjectWithSite>>> helpers_;
};

}  // namespace vt::shell
