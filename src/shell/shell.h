#pragma once
// The browser process's windows as the display shows them. Each top-level browser window of the
// process (the main one and every one made by CreateBrowserWindow) becomes a ShellWindow with an
// address bar, a page view showing the mirror of its document and a band site to the left of the
// page where the explorer bar is drawn. The Shell is the display server's backend: it answers the
// state, dispatches the display's input as the documents' events and the controls' input, and
// publishes every change to the display's stream.
//
// Everything here runs on the UI thread.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/browser/windows.h"
#include "platform/widgets/control.h"
#include "shell/browser_helpers.h"
#include "shell/display_server.h"
#include "shell/event_hub.h"
#include "shell/mirror.h"
#include "shell/toolbar_buttons.h"
#include "shell/ui_thread.h"

namespace vt::shell {

class Shell;
class ShellWindow;

// The explorer bar the shell hosts in the band site of its windows. Not owned by the shell.
class ExplorerBar {
 public:
  virtual ~ExplorerBar() = default;
  struct BarView {
    widgets::Control* form = nullptr;  // what the display draws in the bar; null: an empty bar
    int width = 0;                     // the bar's width in pixels; 0 keeps the window's
  };
  // Opens the bar in `window`.
  virtual BarView Open(ShellWindow& window) = 0;
  // Closes the bar of `window` (its form may be destroyed after this returns).
  virtual void Close(ShellWindow& window) = 0;
  // Hides or shows an open bar without closing it (the browser's ShowBrowserBar).
  virtual void Show(ShellWindow& window, bool visible) {}
  // The width the bar is to have now (the stored bar size); nullopt keeps the window's.
  virtual std::optional<int> StoredWidth(ShellWindow& window) { return std::nullopt; }
  // The user dragged the bar's edge to `width`.
  virtual void Resized(ShellWindow& window, int width) {}
  // A key pressed while the bar holds the focus ({"key","ctrl","shift","alt"}); answers true when
  // the bar delivered it to its own controls, false to leave it to the window.
  virtual bool TranslateKey(ShellWindow& window, const nlohmann::json& key) { return false; }
  // The user pressed a control of the bar's form.
  virtual void ChildInput(ShellWindow& window) {}
  // The class of the bar as the registry writes it ("{...}"); "" when it has none. Tool-bar
  // buttons naming this class open and close the bar.
  virtual std::string ClassId() const { return {}; }
};

class ShellWindow {
 public:
  ShellWindow(Shell& shell, com::ComPtr<browser::WebBrowser> browser);

  int Id() const { return id_; }
  browser::WebBrowser& Browser() const { return *browser_; }
  bool Maximized() const { return maximized_; }
  void SetMaximized(bool maximized) { maximized_ = maximized; }

  // The band site. A bar hidden by ShowBrowserBar stays open (its band lives) but is not drawn.
  bool BarOpen() const { return bar_open_; }
  bool BarHidden() const { return bar_hidden_; }
  widgets::Control* BarForm() const { return bar_form_; }
  int BarWidth() const { return bar_width_; }
  void SetBarWidth(int width);

  nlohmann::json Describe() const;

 private:
  friend class Shell;
  Shell& shell_;
  com::ComPtr<browser::WebBrowser> browser_;
  int id_;
  bool maximized_ = false;
  bool bar_open_ = false;
  bool bar_hidden_ = false;
  int bar_width_ = 200;
  widgets::Control* bar_form_ = nullptr;
};

struct ShellOptions {
  bool test_hooks = false;  // the /api/debug routes answer (set by tests only)
  std::function<std::vector<std::filesystem::path>()> file_roots;  // AppDir and CacheDir
};

class Shell final : public DisplayBackend,
                    public browser::WindowListObserver,
                    public browser::BrowserObserver {
 public:
  Shell(UiThread& ui, EventHub& hub, ShellOptions options = {});
  ~Shell() override;
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Creates the main window (maximised on the display's screen), opens its bar when the user
  // wants bars and navigates it to `address`.
  ShellWindow& OpenMainWindow(const std::string& address);
  // Closes every window: their bars first, then the browsers (Quit).
  void CloseAllWindows();

  ShellWindow* FindWindow(int id);
  std::vector<ShellWindow*> Windows();

  void SetExplorerBar(ExplorerBar* bar) { explorer_bar_ = bar; }
  // Opens or closes the bar of `window` as the user does (the View menu, the bar's close
  // button): the choice is remembered, and windows opened from then on open their bar likewise.
  void ShowBar(ShellWindow& window, bool show);
  // Whether windows open with their bar (true until the user closes a bar).
  static bool BarWanted();

  // The page's context menu: answers true when the system showed its own menu for `element`
  // at screen point (x, y); otherwise the display shows its default menu.
  using ContextMenuHandler = std::function<bool(browser::WebBrowser& browser,
                                                const dom::ElementPtr& element, int x, int y)>;
  void SetContextMenuHandler(ContextMenuHandler handler) { context_menu_ = std::move(handler); }

  // Sends one event to the display's stream.
  void Publish(const nlohmann::json& event);

  // The explorer-bar buttons of the tool bar, as last read from the registry. They are read
  // again whenever this process writes HKEY_LOCAL_MACHINE and whenever a display asks for the
  // whole state; a change reaches the displays as a "toolbar-buttons" event.
  const std::vector<ExplorerBarButton>& ToolbarButtons() const { return buttons_; }
  void ReadToolbarButtons();
  // The button `id` pressed in `window`: opens its bar, or closes it when it is open. Throws
  // std::invalid_argument for an unknown button; answers whether the bar is open now, or an
  // "error" for a button of a bar this shell cannot host.
  nlohmann::json PressToolbarButton(ShellWindow& window, const std::string& id);

  // DisplayBackend
  std::string StateJson() override;
  std::string HandleInput(const std::string& json) override;
  std::optional<std::string> MirrorHtml(int browser_id) override;
  void SetMirrorLinks(MirrorLinks links) override { links_ = std::move(links); }
  std::vector<std::filesystem::path> FileRoots() override;
  std::vector<std::filesystem::path> ServedFiles() override;
  std::string Debug(const std::string& what, const std::string& body) override;

  // browser::WindowListObserver
  void OnWindowOpened(browser::WebBrowser& window) override;
  void OnWindowClosed(browser::WebBrowser& window) override;
  // browser::BrowserObserver
  void OnDocumentChanged(browser::WebBrowser& browser) override;
  void OnStateChanged(browser::WebBrowser& browser) override;
  void OnCommand(browser::WebBrowser& browser, com::DWORD command, com::DWORD options) override;
  void OnBrowserBar(browser::WebBrowser& browser, const std::string& clsid, bool show) override;
  void OnWindowChanged(browser::WebBrowser& browser) override;
  void OnQuit(browser::WebBrowser& browser) override;

 private:
  struct MirrorWatch;
  struct TestHooks;

  nlohmann::json Input(const nlohmann::json& input);
  nlohmann::json PageEvent(const nlohmann::json& input, const std::string& type);
  nlohmann::json PageSelection(const nlohmann::json& input);
  nlohmann::json PageContextMenu(const nlohmann::json& input);
  nlohmann::json ControlInput(const nlohmann::json& input);
  ShellWindow& WindowOf(const nlohmann::json& input);
  void PublishWindow(ShellWindow& window);
  void PublishControls();
  // The clipboard's new contents, for the display to hand to the desktop clipboard.
  void PublishClipboard();
  // The browser's copy command: the selection of `b`'s document onto the clipboard.
  void CopySelection(browser::WebBrowser& b);
  nlohmann::json ToolbarButtonsJson();
  void Watch(browser::WebBrowser& browser);
  void WatchDocument(MirrorWatch& watch, const std::shared_ptr<dom::Document>& document);
  void DocumentChanged(int browser_id, const dom::Change& change);
  void ScheduleReload(MirrorWatch& watch);
  void OpenBar(ShellWindow& window);
  void CloseBar(ShellWindow& window);
  void HideBar(ShellWindow& window, bool hidden);
  ShellWindow* WindowOfBarControl(widgets::Control& control);
  std::string FrameSource(browser::WebBrowser& browser, const dom::Element& frame);

  UiThread& ui_;
  EventHub& hub_;
  ShellOptions options_;
  std::map<int, std::unique_ptr<ShellWindow>> windows_;
  std::map<int, std::unique_ptr<MirrorWatch>> watches_;
  MirrorLinks links_;
  // How this shell's mirrors name frames and local files (see MirrorLinks).
  MirrorOptions MirrorOptionsFor(browser::WebBrowser* b);
  std::unique_ptr<TestHooks> test_hooks_;
  ExplorerBar* explorer_bar_ = nullptr;
  BrowserHelpers helpers_;
  ContextMenuHandler context_menu_;
  bool controls_scheduled_ = false;
  static constexpr std::chrono::milliseconds kControlsInterval{100};
  std::chrono::steady_clock::time_point last_controls_{};
  bool closing_ = false;
  int clipboard_observer_ = 0;
  std::vector<ExplorerBarButton> buttons_;
  int registry_observer_ = 0;
  std::shared_ptr<bool> alive_;
};

}  // namespace vt::shell
