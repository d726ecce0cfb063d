#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/clsids.h"
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

}  // namespace vt::app
