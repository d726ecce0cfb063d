#include "platform/com/classfactory.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/registry/registry.h"

namespace vt::com {

namespace {

struct Registration {
  DWORD cookie;
  GUID clsid;
  ComPtr<IUnknown> classObject;
};

struct State {
  std::mutex mutex;
  std::vector<Registration> registrations;  // most recent last
  DWORD nextCookie = 1;
  std::map<std::string, void*> libraries;  // loaded once, never unloaded
};

State& GetState() {
  static State* state = new State;  // outlives every static destructor that might release
  return *state;
}

thread_local std::string t_lastError;
thread_local int t_initCount = 0;

std::optional<std::string> LookupInRegistry(const GUID& clsid);

}  // namespace

HRESULT CoRegisterClassObject(const GUID& clsid, IUnknown* classObject, DWORD clsContext,
                              DWORD flags, DWORD* cookie) {
  if (!classObject || !cookie) return E_INVALIDARG;
  State& s = GetState();
  std::lock_guard lock(s.mutex);
  *cookie = s.nextCookie++;
  s.registrations.push_back({*cookie, clsid, ComPtr<IUnknown>(classObject)});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  ComPtr<IUnknown> released;  // released outside the lock
  State& s = GetState();
  std::lock_guard lock(s.mutex);
  for (auto it = s.registrations.begin(); it != s.registrations.end(); ++it) {
    if (it->cookie == cookie) {
      released = std::move(it->classObject);
      s.registrations.erase(it);
      return S_OK;
    }
  }
  return CO_E_OBJNOTREG;
}

std::string CoLastErrorDetail() {
  return t_lastError;
}

HRESULT CoGetClassObject(const GUID& clsid, DWORD clsContext, void* serverInfo, const GUID& iid,
                         void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  t_lastError.clear();
  State& s = GetState();
  ComPtr<IUnknown> registered;
  {
    std::lock_guard lock(s.mutex);
    for (auto it = s.registrations.rbegin(); it != s.registrations.rend(); ++it) {
      if (it->clsid == clsid) {
        registered = it->classObject;
        break;
      }
    }
  }
  if (registered) return registered->QueryInterface(iid, out);

  if (!(clsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) {
    t_lastError = "class " + ToString(clsid) + " is not registered in this process";
    return REGDB_E_CLASSNOTREG;
  }
  std::optional<std::string> path;
  try {
    path = LookupInRegistry(clsid);
  } catch (const std::exception& e) {  // a damaged hive, an unreadable folder
    t_lastError = "cannot read the registration of class " + ToString(clsid) + ": " + e.what();
    return REGDB_E_READREGDB;
  }
  if (!path || path->empty()) {
    t_lastError = "class " + ToString(clsid) + " is not registered";
    return REGDB_E_CLASSNOTREG;
  }

  void* library = nullptr;
  {
    std::lock_guard lock(s.mutex);
    auto found = s.libraries.find(*path);
    if (found != s.libraries.end()) {
      library = found->second;
    } else {
      library = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!library) {
        const char* why = dlerror();
        t_lastError = "cannot load " + *path + ": " + (why ? why : "unknown error");
        return CO_E_DLLNOTFOUND;
      }
      s.libraries.emplace(*path, library);
    }
  }
  auto entry = reinterpret_cast<DllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
  if (!entry) {
    t_lastError = *path + " exports no DllGetClassObject";
    return CO_E_ERRORINDLL;
  }
  const HRESULT hr = entry(clsid, iid, out);
  if (FAILED(hr)) {
    if (out) *out = nullptr;
    t_lastError = *path + " refused class " + ToString(clsid) + ": " + HresultText(hr);
  }
  return hr;
}

HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD clsContext, const GUID& iid,
                         void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr =
      CoGetClassObject(clsid, clsContext, nullptr, IidOf<IClassFactory>(), factory.put_void());
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  if (FAILED(hr)) t_lastError = "class " + ToString(clsid) + " created nothing: " + HresultText(hr);
  return hr;
}

HRESULT CoInitialize(void*) {
  return t_initCount++ == 0 ? S_OK : S_FALSE;
}
HRESULT CoInitializeEx(void* reserved, DWORD) {
  return CoInitialize(reserved);
}
void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}
HRESULT OleInitialize(void* reserved) {
  return CoInitialize(reserved);
}
void OleUninitialize() {
  CoUninitialize();
}

namespace {
// The default value of HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32.
std::optional<std::string> LookupInRegistry(const GUID& clsid) {
  auto key = registry::OpenKey(registry::HKEY_CLASSES_ROOT,
                               "CLSID\\" + ToString(clsid) + "\\InprocServer32");
  if (!key) return std::nullopt;
  return key->TryReadString("");
}
}  // namespace

}  // namespace vt::com
