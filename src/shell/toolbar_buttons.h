#pragma once
// The browser's tool-bar buttons as the registry lists them: one key per button under
// HKEY_LOCAL_MACHINE "\Software\Microsoft\Internet Explorer\Extensions\", named by the button's
// GUID. The shell shows the explorer-bar buttons among them (a "CLSID" value naming the
// explorer-bar kind, a "BandCLSID" naming the bar), each opening and closing its bar.
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace vt::shell {

struct ExplorerBarButton {
  std::string id;          // the GUID text naming the button's key, "{...}"
  std::string text;        // "ButtonText"
  std::string icon;        // "Icon": an absolute file path, "" when it names none
  std::string hot_icon;    // "HotIcon" (shown under the mouse): as "Icon"
  std::string band_clsid;  // "BandCLSID": the bar the button opens and closes

  friend bool operator==(const ExplorerBarButton&, const ExplorerBarButton&) = default;
};

// Every explorer-bar button of `store` that the tool bar shows, ordered by text, then by id.
// Buttons of the other kinds, buttons registered as not visible ("Default Visible" = "No"),
// buttons without a bar or a text, and values of another type than text are passed over; a
// relative icon path counts as none. None registered: an empty list. A hive that cannot be read
// throws registry::RegistryError.
std::vector<ExplorerBarButton> ReadExplorerBarButtons(
    registry::Store& store = registry::DefaultStore());

}  // namespace vt::shell
