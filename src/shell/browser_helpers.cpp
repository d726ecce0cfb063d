#include "shell/browser_helpers.h"

#include "host/IEBrowserHelper.h"
#include "platform/com/classfactory.h"
#include "platform/registry/registry.h"

namespace vt::shell {

namespace {

std::vector<std::string> RegisteredHelperClasses() {
  try {
    auto key = registry::OpenKey(registry::HKEY_LOCAL_MACHINE, kBrowserHelperObjectsKey);
    if (!key) return {};
    return key->SubKeyNames();
  } catch (const registry::RegistryError&) {
    return {};  // a damaged hive: no helpers rather than no window
  }
}

}  // namespace

BrowserHelpers::~BrowserHelpers() {
  for (auto& [id, helpers] : helpers_) {
    for (auto& [clsid, helper] : helpers) helper->SetSite(nullptr);
  }
}

int BrowserHelpers::Attach(browser::WebBrowser& browser) {
  auto& helpers = helpers_[browser.Id()];
  int created = 0;
  for (const std::string& name : RegisteredHelperClasses()) {
    const auto clsid = com::ParseGuid(name);
    if (!clsid) continue;
    const std::string text = com::ToString(*clsid);
    if (helpers.count(text)) continue;
    auto helper = com::CoCreate<com::IObjectWithSite>(*clsid);
    if (!helper) continue;
    helpers[text] = helper;
    helper->SetSite(browser.GetUnknown());
    ++created;
  }
  return created;
}

void BrowserHelpers::Rebind(browser::WebBrowser& browser) {
  auto it = helpers_.find(browser.Id());
  if (it == helpers_.end()) return;
  for (auto& [clsid, helper] : it->second) helper->SetSite(browser.GetUnknown());
}

void BrowserHelpers::Detach(browser::WebBrowser& browser) {
  auto it = helpers_.find(browser.Id());
  if (it == helpers_.end()) return;
  auto helpers = std::move(it->second);
  helpers_.erase(it);
  for (auto& [clsid, helper] : helpers) helper->SetSite(nullptr);
}

std::vector<std::string> BrowserHelpers::ClassesOf(const browser::WebBrowser& browser) const {
  std::vector<std::string> out;
  if (auto it = helpers_.find(browser.Id()); it != helpers_.end()) {
    for (auto& [clsid, helper] : it->second) out.push_back(clsid);
  }
  return out;
}

}  // namespace vt::shell
