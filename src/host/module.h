#pragma once
// The band module inside the browser process.
//
// Loaded as the shared library libvellumtrace.so, the module keeps its own table of class
// factories: DllGetClassObject hands them out, DllRegisterServer writes the registry entries of
// the classes in the table (InprocServer32 naming the library) and DllUnregisterServer removes
// them. Linked into a test program instead, StartBandModule registers the band's factory with
// the process (CoRegisterClassObject). UI thread only.
#include <string>
#include <vector>

#include "host/registration.h"
#include "platform/com/classfactory.h"
#include "platform/com/com.h"

namespace vt {

// Idempotent: a second call keeps the first registration. Answers the registration's HRESULT
// (S_OK when already started).
com::HRESULT StartBandModule();
// Revokes the band's class object (the shell's end, and tests); nothing when not started.
void StopBandModule();

// ---- the module's class table
// The full file name of the loaded module; "" when the classes are linked into the program.
const std::string& ModulePath();
void SetModulePath(std::string path);

// Puts `factory` in the table as the class object of info.clsid (replacing an earlier one).
void AddModuleFactory(const ComClassInfo& info, com::ComPtr<com::IUnknown> factory);
bool HasModuleFactory(const com::GUID& clsid);
// The classes in the table, in the order they were first added.
std::vector<ComClassInfo> ModuleClasses();
// Empties the table (tests).
void ClearModuleFactories();

// The exported entry points' work.
// The factory of clsid queried for iid; CLASS_E_CLASSNOTAVAILABLE (null out) when the table has
// none, E_NOINTERFACE when the factory lacks iid.
com::HRESULT ModuleGetClassObject(const com::GUID& clsid, const com::GUID& iid, void** out);
// Registers / removes every class of the table (the band with its own entries); E_FAIL when
// anything fails, nothing thrown.
com::HRESULT ModuleRegisterServer();
com::HRESULT ModuleUnregisterServer();

// The classes as they are registered.
ComClassInfo BandClassInfo();
ComClassInfo NSHandlerClassInfo();
ComClassInfo DocHostUIHandlerClassInfo();
ComClassInfo BrowserHelperClassInfo();

}  // namespace vt
