#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/clsids.h"
#include "platform/com/classfactory.h"
#include "platform/com/hresult.h"
#include "platform/registry/registry.h"

#ifndef VT_MODULE_FILE
#define VT_MODULE_FILE "libvellumtrace.so"
#endif

namespace vt::app {

namespace fs = std::filesystem;

std::string LocateModule() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  for (const fs::path& candidate : {exe.parent_path() / VT_MODULE_FILE,
                                    exe.parent_path().parent_path() / "lib" / VT_MODULE_FILE}) {
    if (fs::is_regular_file(candidate, ec)) return fs::canonical(candidate, ec).string();
  }
  return {};
}

std::string RegisteredModule() {
  auto key = registry::OpenKey(registry::HKEY_CLASSES_ROOT,
                               "CLSID\\" + com::ToString(CLSID_ExplorerBand) + "\\InprocServer32");
  if (!key) return {};
  try {
    return key->TryReadString("").value_or("");
  } catch (const std::exception&) {
    return {};
  }
}

bool CallModuleRegistration(const std::string& path, bool unregister, std::string& error) {
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  // Kept loaded: the classes it registers are served from it for the rest of the process.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!module) {
    const char* why = ::dlerror();
    error = "the module '" + path + "' could not be loaded: " + (why ? why : "unknown error");
    return false;
  }
  using Entry = com::HRESULT (*)();
  auto fn = reinterpret_cast<Entry>(::dlsym(module, entry));
  if (!fn) {
    error = "the module '" + path + "' has no " + entry;
    return false;
  }
  const com::HRESULT hr = fn();
  if (com::FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    error = std::string(entry) + " of '" + path + "' failed (" + code + ")";
    return false;
  }
  return true;
}

bool LoadBandModule(const std::string& command, std::string& error, std::string& registered_now) {
  registered_now.clear();
  const std::string prefix = "vellumtrace " + command + ": ";
  const std::string registered = RegisteredModule();
  std::error_code ec;
  if (registered.empty() || !fs::is_regular_file(registered, ec)) {
    const std::string module = LocateModule();
    if (module.empty()) {
      error = prefix +
              "the band module libvellumtrace.so is not registered and not beside the program; "
              "build it (./scripts/run.sh) or run 'vellumtrace register PATH' with its path.";
      return false;
    }
    std::string why;
    if (!CallModuleRegistration(module, false, why)) {
      error = prefix + why + "; run 'vellumtrace register' to see why.";
      return false;
    }
    registered_now = module;
  }
  com::ComPtr<com::IClassFactory> band;
  const com::HRESULT hr = com::CoGetClassObject(CLSID_ExplorerBand, com::CLSCTX_INPROC_SERVER,
                                                nullptr, com::IID_IClassFactory, band.put_void());
  if (com::FAILED(hr) || !band) {
    const std::string detail = com::CoLastErrorDetail();
    error = prefix + "the band module registered as '" + RegisteredModule() + "' does not load" +
            (detail.empty() ? "" : ": " + detail) +
            "; run 'vellumtrace register' to register the module beside the program again.";
    return false;
  }
  return true;
}

}  // namespace vt::app
