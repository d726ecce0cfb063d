#pragma once
// Class factories and the activation of COM classes by CLSID.
//
// CoGetClassObject finds a class object first among the factories registered in this process
// (CoRegisterClassObject), then through the registry: the default value of
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 names a shared library, which is loaded with
// dlopen (and kept loaded) and asked through its exported function
//   extern "C" vt::com::HRESULT DllGetClassObject(const vt::com::GUID& clsid,
//                                                  const vt::com::GUID& iid, void** out);
// The registered table is process-wide and guarded; all of it may be called from any thread.
#include <functional>
#include <string>

#include "platform/com/unknown.h"

namespace vt::com {

struct IClassFactory : IUnknown {
  static constexpr GUID kIid = MakeGuid("{00000001-0000-0000-C000-000000000046}");
  using Base = IUnknown;
  // A new object queried for iid. An outer object (aggregation) is refused with
  // CLASS_E_NOAGGREGATION by every factory of this code base.
  virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) = 0;
  // Locks (TRUE) or unlocks (FALSE) the module in memory.
  virtual HRESULT LockServer(BOOL lock) = 0;
};

inline constexpr GUID IID_IUnknown = IUnknown::kIid;
inline constexpr GUID IID_IClassFactory = IClassFactory::kIid;

// Class contexts.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

// Registration flags of CoRegisterClassObject (accepted; every registration is multiple-use).
inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;
inline constexpr DWORD REGCLS_MULTI_SEPARATE = 2;

// Makes classObject (usually an IClassFactory) the class object of clsid in this process until
// revoked; a later registration of the same CLSID shadows an earlier one. *cookie (non-zero)
// names the registration.
HRESULT CoRegisterClassObject(const GUID& clsid, IUnknown* classObject, DWORD clsContext,
                              DWORD flags, DWORD* cookie);
// CO_E_OBJNOTREG for an unknown cookie.
HRESULT CoRevokeClassObject(DWORD cookie);

// The class object of clsid queried for iid. REGDB_E_CLASSNOTREG when neither this process nor
// the registry knows the class; CO_E_DLLNOTFOUND when its library does not load;
// CO_E_ERRORINDLL when it exports no DllGetClassObject; else what the factory answers.
// serverInfo is ignored (no remote servers).
HRESULT CoGetClassObject(const GUID& clsid, DWORD clsContext, void* serverInfo, const GUID& iid,
                         void** out);
// CoGetClassObject for IClassFactory, then CreateInstance(outer, iid, out).
HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD clsContext, const GUID& iid,
                         void** out);

template <class T>
ComPtr<T> CoCreate(const GUID& clsid, DWORD clsContext = CLSCTX_INPROC_SERVER) {
  ComPtr<T> result;
  CoCreateInstance(clsid, nullptr, clsContext, IidOf<T>(), result.put_void());
  return result;
}

// A sentence explaining the last failure of CoGetClassObject / CoCreateInstance on this thread
// (the library path and the loader's message), empty after a success.
std::string CoLastErrorDetail();

// Initialisation of the apartment: always succeeds (S_OK the first time on a thread, S_FALSE
// when that thread is already initialised). Activation works without it as well.
HRESULT CoInitialize(void* reserved = nullptr);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();
HRESULT OleInitialize(void* reserved = nullptr);
void OleUninitialize();

// The signature of the exported DllGetClassObject of an in-process server library.
using DllGetClassObjectFn = HRESULT (*)(const GUID& clsid, const GUID& iid, void** out);

// A factory creating a new T (default-constructed, or by `create`) for every CreateInstance.
// Factories live as long as the module, so they do not count as live objects; LockServer
// counts as a module lock.
template <class T>
class ClassFactory : public ComObjectUncounted<IClassFactory> {
 public:
  ClassFactory() : create_([] { return ComPtr<IUnknown>(MakeCom<T>()->GetUnknown()); }) {}
  explicit ClassFactory(std::function<ComPtr<IUnknown>()> create) : create_(std::move(create)) {}

  HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      ComPtr<IUnknown> object = create_();
      if (!object) return E_OUTOFMEMORY;
      return object->QueryInterface(iid, out);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

 private:
  std::function<ComPtr<IUnknown>()> create_;
};

}  // namespace vt::com
