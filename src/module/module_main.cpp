// libvellumtrace.so: the system's COM classes as one in-process server, loaded by the shell
// through the band's InprocServer32 registration (or by `vellumtrace register`).
//
// The library takes the platform (message loop, registry, COM, browser objects, controls) from
// the program that loads it, which exports them, so the band runs on that program's UI loop
// and class table. Start-up runs once, when the loader first calls into the library; nothing is
// thrown out of the exported functions.
#include <dlfcn.h>

#include <cstdio>

#include "host/ExplorerBand.h"
#include "host/IEDocHostUIHandler.h"
#include "host/OurNSHandler.h"
#include "core/myDOM.h"
#include "host/bandstate.h"
#include "host/clsids.h"
#include "host/module.h"
#include "host/registration.h"
#include "platform/browser/protocol.h"
#include "storage/datamodule.h"
#include "storage/urlRecords.h"
#include "ui/BandForm.h"

using namespace vt;
using namespace vt::com;

extern "C" HRESULT DllGetClassObject(const GUID& clsid, const GUID& iid, void** out);

namespace {

bool g_started = false;
bool g_ole = false;

std::string LoadedModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) && info.dli_fname)
    return info.dli_fname;
  return {};
}

// Module start-up, in its order.
void StartModule() {
  if (g_started) return;
  g_started = true;  // getting the protocol handler's class object below loads this library again
  SetModulePath(LoadedModulePath());
  // 1. The protocol handler's factory, its class registered at once so COM can hand it out.
  AddModuleFactory(NSHandlerClassInfo(), ComPtr<IUnknown>(new ClassFactory<TOurNSHandler>()));
  RegisterComClass(NSHandlerClassInfo(), ModulePath());
  // 2. The document host handler's factory.
  AddModuleFactory(DocHostUIHandlerClassInfo(),
                   ComPtr<IUnknown>(new ClassFactory<TDocHostUIHandler>()));
  // 3. OLE on the loading thread.
  g_ole = OleInitialize() == S_OK;
  // 4. The band: the band-active flag, its factory, the data module, and the band form and the
  //    saved-selection lookup the band objects work with.
  SetBandActive(true);
  AddModuleFactory(BandClassInfo(), ComPtr<IUnknown>(new ClassFactory<TExplorerBand>()));
  DataModule1();
  InstallBandForm();
  SetSavedSelectionLookup(&GetSelectedNode);
  SetBandActiveSwitch(&SetBandActive);
  //    From then on every http request of the process reaches the protocol handler first.
  ComPtr<IClassFactory> handler;
  ComPtr<browser::IInternetSession> session;
  if (SUCCEEDED(CoGetClassObject(CLSID_NSHandler, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                 nullptr, IID_IClassFactory, handler.put_void())) &&
      SUCCEEDED(browser::CoInternetGetSession(0, session.put(), 0))) {
    session->RegisterNameSpace(handler.get(), CLSID_NSHandler, "http", 0, nullptr, 0);
  }
}

// Module unload.
struct ModuleEnd {
  ~ModuleEnd() {
    if (g_ole) OleUninitialize();
  }
} g_module_end;

template <class Fn>
HRESULT Guarded(Fn fn) {
  try {
    StartModule();
    return fn();
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const GUID& clsid,
                                                                            const GUID& iid,
                                                                            void** out) {
  if (out) *out = nullptr;
  return Guarded([&] { return ModuleGetClassObject(clsid, iid, out); });
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return ModuleCanUnloadNow();
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  return Guarded([] { return ModuleRegisterServer(); });
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  return Guarded([] { return ModuleUnregisterServer(); });
}
