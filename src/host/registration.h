#pragma once
// The registry entries of the module's COM classes and of the browser's tool-bar buttons.
// All run on the calling thread; failures to create or write a key throw std::runtime_error
// "Error creating system registry entry".
#include <string>

#include "platform/com/guid.h"

namespace vt {

// One COM class of the module as it is registered.
struct ComClassInfo {
  com::GUID clsid;
  std::string class_name;   // "" for none: the class then has no ProgID
  std::string description;  // default value of its CLSID key
  std::string threading;    // "ThreadingModel" of InprocServer32, "" for none
};

// The module's file name without folder and extension ("libvellumtrace").
std::string ModuleNameOf(const std::string& module_path);
// module name + "." + class name, or "" for a class without a class name.
std::string ProgIdOf(const ComClassInfo& info, const std::string& module_path);

// Under HKEY_CLASSES_ROOT: "CLSID\{...}" with the description, its "InprocServer32" naming the
// module (and the threading model), and the ProgID keys when the class has a class name.
void RegisterComClass(const ComClassInfo& info, const std::string& module_path);
// Removes those keys again; keys that are not there are passed over.
void UnregisterComClass(const ComClassInfo& info, const std::string& module_path);

// The explorer bar's own entries after its class registration: the shell's cached bar lists
// cleared, the menu text "&Vellumtrace", "ThreadingModel" and the vertical-bar category.
void RegisterBand();
void UnregisterBand();

// The HKLM "Browser Helper Objects" key of the helper class.
void RegisterBrowserHelperKey();
void UnregisterBrowserHelperKey();

// The component category of vertical explorer bars, and the key listing them for the shell.
inline constexpr const char* kCatidVerticalBars = "{00021493-0000-0000-C000-000000000046}";
inline constexpr const char* kCatidHorizontalBars = "{00021494-0000-0000-C000-000000000046}";
inline constexpr const char* kBarCacheKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component "
    "Categories\\";

// ---- browser tool-bar buttons (HKEY_LOCAL_MACHINE)
inline constexpr const char* kExtensionsKey =
    "\\Software\\Microsoft\\Internet Explorer\\Extensions\\";
inline constexpr const char* kToolbarButtonsKey = "\\Software\\Bandkit\\ToolBar Buttons\\";
// The "CLSID" value of an explorer-bar button.
inline constexpr const char* kExplorerBarButtonClsid = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";

enum class ToolbarButtonKind { ComExtension = 0, ExplorerBar = 1, Script = 2, Executable = 3 };

// Writes a button under a new GUID and answers that GUID's text (38 characters).
std::string AddToolbarButton(bool default_visible, ToolbarButtonKind kind,
                             const std::string& button_text, const std::string& target,
                             const std::string& icon, const std::string& hot_icon);
// Removes the button registered under `button_text`; a missing entry or one that is not a GUID
// text of 38 characters is left alone. Always true.
bool RemoveToolbarButton(const std::string& button_text);

}  // namespace vt
