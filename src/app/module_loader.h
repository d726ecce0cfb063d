#pragma once
// Finding, loading and registering the band module (libvellumtrace.so) for the commands.
#include <string>

namespace vt::app {

// The module beside the program (or in ../lib), "" when there is none.
std::string LocateModule();

// The module path registered for the band's class, "" when the band is not registered.
std::string RegisteredModule();

// Loads `path` and runs its DllRegisterServer (or DllUnregisterServer); false with `error` set to
// a sentence saying what failed when the module does not load, lacks the entry point or the
// entry point answers a failure.
bool CallModuleRegistration(const std::string& path, bool unregister, std::string& error);

}  // namespace vt::app
