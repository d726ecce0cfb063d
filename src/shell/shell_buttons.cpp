// The explorer-bar buttons of the windows' tool bar: read from the registry, shown by the
// display with their icons, and pressed to open or close their bar.
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/registry/registry.h"
#include "shell/served_files.h"
#include "shell/shell.h"

namespace vt::shell {
using nlohmann::json;

namespace {

bool SameClass(const std::string& a, const std::string& b) {
  return !a.empty() && registry::FoldCase(a) == registry::FoldCase(b);
}

// Icons are served only as pictures: a button naming any other file gets no icon.
bool IsIconFile(const std::string& path) {
  if (path.empty()) return false;
  const std::string type = ContentTypeOf(path);
  return type.rfind("image/", 0) == 0 && type != "image/svg+xml";
}

}  // namespace

void Shell::ReadToolbarButtons() {
  std::vector<ExplorerBarButton> buttons;
  try {
    buttons = ReadExplorerBarButtons();
  } catch (const registry::RegistryError& e) {
    std::fprintf(stderr, "vellumtrace: the tool-bar buttons could not be read: %s\n", e.what());
    return;
  }
  if (buttons == buttons_) return;
  buttons_ = std::move(buttons);
  Publish({{"type", "toolbar-buttons"}, {"buttons", ToolbarButtonsJson()}});
}

std::vector<std::filesystem::path> Shell::ServedFiles() {
  std::vector<std::filesystem::path> files;
  for (const ExplorerBarButton& button : buttons_) {
    for (const std::string* icon : {&button.icon, &button.hot_icon})
      if (IsIconFile(*icon)) files.emplace_back(*icon);
  }
  return files;
}

json Shell::ToolbarButtonsJson() {
  const std::vector<std::filesystem::path> served = ServedFiles();
  // The address of an icon that can be served now; "" for none (the button shows its text only).
  auto address = [&](const std::string& icon) {
    if (!links_.file || !IsIconFile(icon) || !ResolveNamedFile(icon, served)) return std::string();
    return links_.file(icon);
  };
  const std::string hosted_class = explorer_bar_ ? explorer_bar_->ClassId() : std::string();
  json list = json::array();
  for (const ExplorerBarButton& button : buttons_) {
    list.push_back({{"id", button.id},
                    {"text", button.text},
                    {"bar", button.band_clsid},
                    {"hosted", SameClass(hosted_class, button.band_clsid)},
                    {"icon", address(button.icon)},
                    {"hotIcon", address(button.hot_icon)}});
  }
  return list;
}

json Shell::PressToolbarButton(ShellWindow& window, const std::string& id) {
  auto it = std::find_if(buttons_.begin(), buttons_.end(),
                         [&](const ExplorerBarButton& b) { return SameClass(b.id, id); });
  if (it == buttons_.end()) throw std::invalid_argument("no such tool-bar button");
  if (!explorer_bar_ || !SameClass(explorer_bar_->ClassId(), it->band_clsid)) {
    return {{"open", false},
            {"error", "The explorer bar " + it->band_clsid + " of the button \"" + it->text +
                          "\" is not installed in Vellumtrace."}};
  }
  const bool shown = window.BarOpen() && !window.BarHidden();
  ShowBar(window, !shown);
  return {{"open", window.BarOpen() && !window.BarHidden()}};
}

}  // namespace vt::shell
