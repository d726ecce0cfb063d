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

// Loads the band module as a browser process does, through the band's registration: the module
// beside the program is registered first when the band is not registered or its file is gone
// (`registered_now` then names it, else it is ""). Asking COM for the band's class object runs
// the module's start-up, which among other things registers the private-host protocol handler
// for http in this process. False with `error` set to a message for the user of `command` that
// says what to do.
bool LoadBandModule(const std::string& command, std::string& error, std::string& registered_now);

}  // namespace vt::app
