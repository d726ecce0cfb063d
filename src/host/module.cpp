#include "host/module.h"

#include <algorithm>

#include "host/ExplorerBand.h"
#include "host/bandstate.h"
#include "host/clsids.h"

namespace vt {

using namespace com;

namespace {
using TExplorerBandFactory = ClassFactory<TExplorerBand>;
DWORD g_band_registration = 0;

struct ModuleClass {
  ComClassInfo info;
  ComPtr<IUnknown> factory;
};
std::vector<ModuleClass>& Table() {
  static std::vector<ModuleClass> table;
  return table;
}
std::string& PathStorage() {
  static std::string path;
  return path;
}
}  // namespace

HRESULT StartBandModule() {
  SetBandActive(true);
  if (g_band_registration != 0) return S_OK;
  // Factories live as long as the module: this one is never freed.
  static TExplorerBandFactory* factory = new TExplorerBandFactory();
  DWORD cookie = 0;
  const HRESULT hr = CoRegisterClassObject(CLSID_ExplorerBand, factory, CLSCTX_INPROC_SERVER,
                                           REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(hr)) g_band_registration = cookie;
  return hr;
}

void StopBandModule() {
  if (g_band_registration == 0) return;
  CoRevokeClassObject(g_band_registration);
  g_band_registration = 0;
}

const std::string& ModulePath() {
  return PathStorage();
}

void SetModulePath(std::string path) {
  PathStorage() = std::move(path);
}

void AddModuleFactory(const ComClassInfo& info, ComPtr<IUnknown> factory) {
  auto& table = Table();
  auto it = std::find_if(table.begin(), table.end(),
                         [&](const ModuleClass& c) { return c.info.clsid == info.clsid; });
  if (it != table.end()) {
    it->info = info;
    it->factory = std::move(factory);
  } else {
    table.push_back({info, std::move(factory)});
  }
}

bool HasModuleFactory(const GUID& clsid) {
  const auto& table = Table();
  return std::any_of(table.begin(), table.end(),
                     [&](const ModuleClass& c) { return c.info.clsid == clsid; });
}

std::vector<ComClassInfo> ModuleClasses() {
  std::vector<ComClassInfo> out;
  for (const auto& c : Table()) out.push_back(c.info);
  return out;
}

void ClearModuleFactories() {
  Table().clear();
}

HRESULT ModuleGetClassObject(const GUID& clsid, const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const auto& c : Table()) {
    if (c.info.clsid == clsid) return c.factory->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ModuleRegisterServer() {
  try {
    for (const ComClassInfo& info : ModuleClasses()) {
      RegisterComClass(info, ModulePath());
      if (info.clsid == CLSID_ExplorerBand) RegisterBand();
      if (info.clsid == CLSID_IEBrowserHelper) RegisterBrowserHelperKey();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ModuleUnregisterServer() {
  try {
    for (const ComClassInfo& info : ModuleClasses()) {
      UnregisterComClass(info, ModulePath());
      if (info.clsid == CLSID_ExplorerBand) UnregisterBand();
      if (info.clsid == CLSID_IEBrowserHelper) UnregisterBrowserHelperKey();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

ComClassInfo BandClassInfo() {
  return {CLSID_ExplorerBand, "", "Vellumtrace", ""};
}
ComClassInfo NSHandlerClassInfo() {
  return {CLSID_NSHandler, "OurNSHandler", "OurNSHandler", "Apartment"};
}
ComClassInfo DocHostUIHandlerClassInfo() {
  return {CLSID_DocHostUIHandler, "DocHostUIHandler", "Implements DocHostUIHandler", ""};
}
ComClassInfo BrowserHelperClassInfo() {
  return {CLSID_IEBrowserHelper, "", "", "Apartment"};
}

}  // namespace vt
