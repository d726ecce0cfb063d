// vellumtrace register [--unregister] [MODULE]: loads the band module and runs its registration
// (DllRegisterServer) or its removal (DllUnregisterServer), then says what is registered.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "host/clsids.h"
#include "module_loader.h"
#include "platform/registry/registry.h"

namespace vt::app {
namespace {

// One line per class of the module that is now registered to `path`.
void PrintRegistered(const std::string& path) {
  const std::pair<com::GUID, const char*> classes[] = {
      {CLSID_ExplorerBand, "the explorer bar"},
      {CLSID_NSHandler, "the private-host protocol handler"},
      {CLSID_DocHostUIHandler, "the document host handler"},
      {CLSID_IEBrowserHelper, "the browser helper object"}};
  for (const auto& [clsid, what] : classes) {
    auto key = registry::OpenKey(registry::HKEY_CLASSES_ROOT,
                                 "CLSID\\" + com::ToString(clsid) + "\\InprocServer32");
    const bool here = key && key->TryReadString("").value_or("") == path;
    std::printf("  %s %s: %s\n", com::ToString(clsid).c_str(), what,
                here ? "registered" : "not registered");
  }
}

int Register(const std::vector<std::string>& args) {
  bool unregister = false;
  std::string path;
  for (const std::string& a : args) {
    if (a == "--unregister") {
      unregister = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vellumtrace register: unknown option '%s'\n", a.c_str());
      return kExitUsage;
    } else if (path.empty()) {
      path = a;
    } else {
      std::fprintf(stderr, "vellumtrace register: only one module can be named\n");
      return kExitUsage;
    }
  }
  if (path.empty()) path = LocateModule();
  if (path.empty()) {
    std::fprintf(stderr,
                 "vellumtrace register: the module libvellumtrace.so is not beside the program; "
                 "build it (./scripts/run.sh builds everything) or name it: vellumtrace register "
                 "PATH\n");
    return 1;
  }
  std::string error;
  if (!CallModuleRegistration(path, unregister, error)) {
    std::fprintf(stderr, "vellumtrace register: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s %s\n", unregister ? "Unregistered" : "Registered", path.c_str());
  PrintRegistered(path);
  return 0;
}

}  // namespace

VT_REGISTER_COMMAND({"register", "register [--unregister] [MODULE]",
                     "registers the band module (or removes its registration)", 40, Register});

}  // namespace vt::app
