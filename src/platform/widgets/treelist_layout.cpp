// The column layout of a tree list kept in the registry.
#include "platform/registry/registry.h"
#include "platform/widgets/treelist.h"

namespace vt::widgets {

namespace {

std::string LayoutValueName(const std::string& control) {
  return control + ".Layout";
}

}  // namespace

void TreeList::SetLayoutKey(std::string key) {
  layout_key_ = std::move(key);
  if (layout_key_.empty()) return;
  try {
    auto k = registry::OpenKey(registry::HKEY_CURRENT_USER, layout_key_);
    if (!k) return;
    auto text = k->TryReadString(LayoutValueName(Name()));
    if (!text) return;
    Json stored = Json::parse(*text, nullptr, false);
    if (!stored.is_array()) return;
    std::vector<TreeColumn> columns;
    for (const auto& c : stored) {
      if (!c.is_object()) return;
      columns.push_back({JsonString(c, "caption"), JsonBool(c, "visible", true),
                         std::max(0, JsonInt(c, "width", 0))});
    }
    if (columns.empty()) return;
    columns_ = std::move(columns);
    Changed();
  } catch (const std::exception&) {
  }
}

void TreeList::SaveLayout() const {
  if (layout_key_.empty()) return;
  Json out = Json::array();
  for (const auto& c : columns_)
    out.push_back({{"caption", c.caption}, {"visible", c.visible}, {"width", c.width}});
  try {
    registry::CreateKey(registry::HKEY_CURRENT_USER, layout_key_)
        .WriteString(LayoutValueName(Name()), out.dump());
  } catch (const std::exception&) {
  }
}

}  // namespace vt::widgets
