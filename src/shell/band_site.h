#pragma once
// The explorer bar of the shell's windows, hosted as a browser hosts a band object: for each
// window whose bar opens, the shell creates the band through COM (CLSID_ExplorerBand), gives it a
// band site, asks its band information and its window, shows it, routes keystrokes to it, tells
// it of clicks in its controls and closes it when the bar closes. The form behind the band's
// window is what the display draws in the bar. UI thread only.
#include <map>
#include <optional>

#include "host/shellband.h"
#include "shell/shell.h"

namespace vt::shell {

class BandSite;

class HostedExplorerBar final : public ExplorerBar {
 public:
  // `band_clsid`: the class the bars are made of.
  explicit HostedExplorerBar(const com::GUID& band_clsid);
  ~HostedExplorerBar() override;

  BarView Open(ShellWindow& window) override;
  void Close(ShellWindow& window) override;
  void Show(ShellWindow& window, bool visible) override;
  std::optional<int> StoredWidth(ShellWindow& window) override;
  void Resized(ShellWindow& window, int width) override;
  bool TranslateKey(ShellWindow& window, const nlohmann::json& key) override;
  void ChildInput(ShellWindow& window) override;
  std::string ClassId() const override { return com::ToString(clsid_); }

  // For tests: the band object of `window`'s bar (null when closed), and whether the band told
  // its site that it holds the focus.
  com::ComPtr<IDeskBand> Band(const ShellWindow& window) const;
  bool BandHasFocus(const ShellWindow& window) const;
  // Why the last Open failed to create a band ("" after a success).
  const std::string& LastError() const { return last_error_; }

 private:
  struct Hosted {
    com::ComPtr<BandSite> site;
    com::ComPtr<IDeskBand> band;
    msgloop::HWND form_window = 0;
  };
  com::GUID clsid_;
  std::map<int, Hosted> bars_;
  std::string last_error_;
};

// The virtual-key code of a display key name ("Tab", "Enter", "a", "F2"); 0 when it has none.
msgloop::WPARAM VirtualKeyOf(const std::string& key);

}  // namespace vt::shell
