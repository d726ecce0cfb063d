#include "shell/toolbar_buttons.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "host/registration.h"

namespace vt::shell {
namespace {

// A text value; nullopt when missing or of another type.
std::optional<std::string> Text(const registry::Key& key, std::string_view name) {
  const std::optional<registry::RegValue> value = key.Read(name);
  if (!value || value->type != registry::REG_SZ) return std::nullopt;
  return value->bytes;
}

std::string IconPath(const registry::Key& key, std::string_view name) {
  std::string path = Text(key, name).value_or("");
  return std::filesystem::path(path).is_absolute() ? path : std::string();
}

}  // namespace

std::vector<ExplorerBarButton> ReadExplorerBarButtons(registry::Store& store) {
  std::vector<ExplorerBarButton> buttons;
  const std::optional<registry::Key> extensions =
      store.OpenKey(registry::HKEY_LOCAL_MACHINE, kExtensionsKey);
  if (!extensions) return buttons;
  const std::string bar_kind = registry::FoldCase(kExplorerBarButtonClsid);
  for (const std::string& name : extensions->SubKeyNames()) {
    // A key deleted meanwhile (another process) is simply no button any more.
    const std::optional<registry::Key> key = extensions->OpenSubKey(name);
    if (!key) continue;
    try {
      if (registry::FoldCase(Text(*key, "CLSID").value_or("")) != bar_kind) continue;
      if (registry::FoldCase(Text(*key, "Default Visible").value_or("")) == "no") continue;
      ExplorerBarButton button;
      button.id = name;
      button.text = Text(*key, "ButtonText").value_or("");
      button.band_clsid = Text(*key, "BandCLSID").value_or("");
      if (button.text.empty() || button.band_clsid.empty()) continue;
      button.icon = IconPath(*key, "Icon");
      button.hot_icon = IconPath(*key, "HotIcon");
      buttons.push_back(std::move(button));
    } catch (const registry::RegistryError&) {
      continue;  // the key went while it was read
    }
  }
  std::sort(buttons.begin(), buttons.end(), [](const auto& a, const auto& b) {
    return a.text != b.text ? a.text < b.text : a.id < b.id;
  });
  return buttons;
}

}  // namespace vt::shell
