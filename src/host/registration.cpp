#include "host/registration.h"

#include <filesystem>
#include <stdexcept>

#include "host/IEBrowserHelper.h"
#include "host/clsids.h"
#include "platform/registry/registry.h"

namespace vt {

using registry::HKEY_CLASSES_ROOT;
using registry::HKEY_CURRENT_USER;
using registry::HKEY_LOCAL_MACHINE;

namespace {

registry::Key Create(registry::Hive hive, const std::string& path) {
  try {
    return registry::CreateKey(hive, path);
  } catch (const std::exception&) {
    throw std::runtime_error("Error creating system registry entry");
  }
}

void WriteString(const registry::Key& key, const std::string& name, const std::string& value) {
  try {
    key.WriteString(name, value);
  } catch (const std::exception&) {
    throw std::runtime_error("Error creating system registry entry");
  }
}

std::string ClsidKey(const com::GUID& clsid) {
  return "CLSID\\" + com::ToString(clsid);
}

}  // namespace

std::string ModuleNameOf(const std::string& module_path) {
  return std::filesystem::path(module_path).stem().string();
}

std::string ProgIdOf(const ComClassInfo& info, const std::string& module_path) {
  return info.class_name.empty() ? std::string()
                                 : ModuleNameOf(module_path) + "." + info.class_name;
}

void RegisterComClass(const ComClassInfo& info, const std::string& module_path) {
  const std::string key = ClsidKey(info.clsid);
  registry::Batch batch;
  WriteString(Create(HKEY_CLASSES_ROOT, key), "", info.description);
  const registry::Key server = Create(HKEY_CLASSES_ROOT, key + "\\InprocServer32");
  WriteString(server, "", module_path);
  if (!info.threading.empty()) WriteString(server, "ThreadingModel", info.threading);
  if (const std::string prog_id = ProgIdOf(info, module_path); !prog_id.empty()) {
    WriteString(Create(HKEY_CLASSES_ROOT, prog_id), "", info.description);
    WriteString(Create(HKEY_CLASSES_ROOT, prog_id + "\\Clsid"), "", com::ToString(info.clsid));
    WriteString(Create(HKEY_CLASSES_ROOT, key + "\\ProgID"), "", prog_id);
  }
  batch.Commit();
}

void UnregisterComClass(const ComClassInfo& info, const std::string& module_path) {
  const std::string key = ClsidKey(info.clsid);
  registry::Batch batch;
  registry::DeleteKey(HKEY_CLASSES_ROOT, key + "\\ProgID");
  if (const std::string prog_id = ProgIdOf(info, module_path); !prog_id.empty()) {
    registry::DeleteKey(HKEY_CLASSES_ROOT, prog_id + "\\Clsid");
    registry::DeleteKey(HKEY_CLASSES_ROOT, prog_id);
  }
  registry::DeleteKey(HKEY_CLASSES_ROOT, key + "\\InprocServer32");
  registry::DeleteKey(HKEY_CLASSES_ROOT, key);
  batch.Commit();
}

void RegisterBand() {
  const std::string key = ClsidKey(CLSID_ExplorerBand);
  registry::Batch batch;
  // The shell's cached lists of bars: without them it looks for bars again and finds this one.
  registry::DeleteKey(HKEY_CURRENT_USER, std::string(kBarCacheKey) + kCatidVerticalBars + "\\Enum");
  registry::DeleteKey(HKEY_CURRENT_USER,
                      std::string(kBarCacheKey) + kCatidHorizontalBars + "\\Enum");
  WriteString(Create(HKEY_CLASSES_ROOT, key), "", "&Vellumtrace");
  WriteString(Create(HKEY_CLASSES_ROOT, key + "\\InProcServer32"), "ThreadingModel", "Apartment");
  Create(HKEY_CLASSES_ROOT, key + "\\Implemented Categories\\" + kCatidVerticalBars);
  batch.Commit();
}

void UnregisterBand() {
  const std::string key = ClsidKey(CLSID_ExplorerBand);
  registry::Batch batch;
  registry::DeleteKey(HKEY_CLASSES_ROOT, key + "\\Implemented Categories\\" + kCatidVerticalBars);
  registry::DeleteKey(HKEY_CLASSES_ROOT, key + "\\InProcServer32");
  registry::DeleteKey(HKEY_CLASSES_ROOT, key);
  batch.Commit();
}

void RegisterBrowserHelperKey() {
  Create(HKEY_LOCAL_MACHINE,
         std::string(kBrowserHelperObjectsKey) + "\\" + com::ToString(CLSID_IEBrowserHelper));
}

void UnregisterBrowserHelperKey() {
  registry::DeleteKey(HKEY_LOCAL_MACHINE, std::string(kBrowserHelperObjectsKey) + "\\" +
                                              com::ToString(CLSID_IEBrowserHelper));
}

std::string AddToolbarButton(bool default_visible, ToolbarButtonKind kind,
                             const std::string& button_text, const std::string& target,
                             const std::string& icon, const std::string& hot_icon) {
  const std::string guid = com::ToString(com::CreateGuid());
  registry::Batch batch;
  const registry::Key key = Create(HKEY_LOCAL_MACHINE, kExtensionsKey + guid);
  WriteString(key, "Default Visible", default_visible ? "Yes" : "No");
  WriteString(key, "ButtonText", button_text);
  WriteString(key, "HotIcon", hot_icon);
  WriteString(key, "Icon", icon);
  switch (kind) {
    case ToolbarButtonKind::ComExtension:
      WriteString(key, "CLSID", "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}");
      WriteString(key, "ClsidExtension", target);
      break;
    case ToolbarButtonKind::ExplorerBar:
      WriteString(key, "CLSID", kExplorerBarButtonClsid);
      WriteString(key, "BandCLSID", target);
      break;
    case ToolbarButtonKind::Script:
      WriteString(key, "CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
      WriteString(key, "Script", target);
      break;
    case ToolbarButtonKind::Executable:
      WriteString(key, "CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
      WriteString(key, "Exec", target);
      break;
  }
  WriteString(Create(HKEY_LOCAL_MACHINE, kToolbarButtonsKey), button_text, guid);
  batch.Commit();
  return guid;
}

bool RemoveToolbarButton(const std::string& button_text) {
  auto buttons = registry::OpenKey(HKEY_LOCAL_MACHINE, kToolbarButtonsKey);
  if (!buttons) return true;
  std::optional<std::string> guid;
  try {
    guid = buttons->TryReadString(button_text);
  } catch (const std::exception&) {
    return true;  // a value of another type is no button of ours
  }
  if (!guid || guid->size() != 38) return true;
  registry::Batch batch;
  buttons->DeleteValue(button_text);
  registry::DeleteKey(HKEY_LOCAL_MACHINE, kExtensionsKey + *guid);
  batch.Commit();
  return true;
}

}  // namespace vt
