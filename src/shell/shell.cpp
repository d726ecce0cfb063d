#include "shell/shell.h"

#include <algorithm>
#include <cstdio>

#include "host/bandstate.h"
#include "platform/clipboard/clipboard.h"
#include "platform/dom/document.h"
#include "platform/registry/registry.h"
#include "platform/widgets/dialogs.h"
#include "shell/mirror.h"
#include "shell/served_files.h"
#include "shell/test_hooks.h"

namespace vt::shell {
using nlohmann::json;

// What the shell knows of one browser whose document the display mirrors.
struct Shell::MirrorWatch {
  int browser_id = 0;
  bool observing_browser = false;
  std::weak_ptr<dom::Document> document;
  int observer = 0;
  int rev = 1;
  bool reload_scheduled = false;
};

ShellWindow::ShellWindow(Shell& shell, com::ComPtr<browser::WebBrowser> browser)
    : shell_(shell), browser_(std::move(browser)), id_(browser_->Id()) {}

void ShellWindow::SetBarWidth(int width) {
  bar_width_ = std::max(24, width);
}

json ShellWindow::Describe() const {
  auto& b = *browser_;
  std::string status = b.StatusText();
  if (status.empty()) status = b.Busy() ? "Opening page " + b.LocationURL() + "..." : "Done";
  return {{"id", id_},
          {"browser", b.Id()},
          {"title", b.LocationName()},
          {"url", b.LocationURL()},
          {"busy", b.Busy()},
          {"left", b.Left()},
          {"top", b.Top()},
          {"width", b.Width()},
          {"height", b.Height()},
          {"visible", b.Visible()},
          {"maximized", maximized_},
          {"addressBar", b.AddressBar()},
          {"menuBar", b.MenuBar()},
          {"statusBar", b.StatusBar()},
          {"status", status},
          {"bar",
           {{"open", bar_open_ && !bar_hidden_},
            {"width", bar_width_},
            {"form", bar_form_ ? json(bar_form_->Id()) : json(nullptr)}}}};
}

Shell::Shell(UiThread& ui, EventHub& hub, ShellOptions options)
    : ui_(ui), hub_(hub), options_(std::move(options)), alive_(std::make_shared<bool>(true)) {
  browser::AddWindowListObserver(this);
  widgets::UseDisplayForModals(true);  // modal forms wait for the display's answer
  for (auto& window : browser::BrowserWindows()) OnWindowOpened(*window);
  std::weak_ptr<bool> alive = alive_;
  clipboard_observer_ = clipboard::AddClipboardObserver([this, alive](const auto&) {
    if (!alive.expired()) PublishClipboard();
  });
  // The tool-bar buttons live in HKEY_LOCAL_MACHINE: a write there (the band adding its button)
  // may change them. The observer runs on the writing thread, so the reading is posted.
  ReadToolbarButtons();
  registry_observer_ =
      registry::DefaultStore().AddChangeObserver([this, alive](registry::Hive hive) {
        if (hive != registry::HKEY_LOCAL_MACHINE || alive.expired()) return;
        ui_.Post([this, alive] {
          if (!alive.expired()) ReadToolbarButtons();
        });
      });
  // Control changes reach the display at most every kControlsInterval: a burst (a tree filled
  // node by node while the parser lets the loop run) is sent as one batch instead of one whole
  // tree per node.
  widgets::SetChangeListener([this, alive] {
    if (alive.expired() || controls_scheduled_) return;
    controls_scheduled_ = true;
    auto publish = [this, alive] {
      if (alive.expired()) return;
      controls_scheduled_ = false;
      last_controls_ = std::chrono::steady_clock::now();
      PublishControls();
    };
    const auto since = std::chrono::steady_clock::now() - last_controls_;
    if (since >= kControlsInterval) {
      ui_.Post(publish);
    } else {
      ui_.PostAfter(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         kControlsInterval - since)
                                         .count()),
                    publish);
    }
  });
}

Shell::~Shell() {
  clipboard::RemoveClipboardObserver(clipboard_observer_);
  registry::DefaultStore().RemoveChangeObserver(registry_observer_);
  widgets::SetChangeListener(nullptr);
  widgets::UseDisplayForModals(false);
  browser::RemoveWindowListObserver(this);
  for (auto& [id, watch] : watches_) {
    if (auto doc = watch->document.lock(); doc && watch->observer)
      doc->RemoveObserver(watch->observer);
    if (watch->observing_browser)
      if (auto* b = browser::WebBrowser::FromId(id)) b->RemoveObserver(this);
  }
  for (auto& [id, window] : windows_) window->browser_->RemoveObserver(this);
}

ShellWindow& Shell::OpenMainWindow(const std::string& address) {
  com::ComPtr<browser::WebBrowser> b = browser::CreateBrowserWindow();
  ShellWindow* window = FindWindow(b->Id());
  window->SetMaximized(true);
  b->SetWidth(browser::Screen::Width());
  b->SetHeight(browser::Screen::Height());
  b->SetVisible(true);
  b->Navigate(address.empty() ? "about:blank" : address);
  return *window;
}

void Shell::CloseAllWindows() {
  closing_ = true;
  std::vector<com::ComPtr<browser::WebBrowser>> browsers;
  for (auto& [id, window] : windows_) {
    CloseBar(*window);
    browsers.push_back(window->browser_);
  }
  for (auto& b : browsers) b->Quit();
  Publish({{"type", "quit"}});
}

ShellWindow* Shell::FindWindow(int id) {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.get();
}

std::vector<ShellWindow*> Shell::Windows() {
  std::vector<ShellWindow*> out;
  for (auto& [id, window] : windows_) out.push_back(window.get());
  return out;
}

namespace {
constexpr const char* kShellKey = "Software\\Vellumtrace\\Shell";
constexpr const char* kBarOpenValue = "BarOpen";
}  // namespace

bool Shell::BarWanted() {
  try {
    auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, kShellKey);
    if (!key) return true;
    return key->TryReadDword(kBarOpenValue).value_or(1) != 0;
  } catch (const registry::RegistryError&) {
    return true;
  }
}

void Shell::ShowBar(ShellWindow& window, bool show) {
  try {
    registry::CreateKey(registry::HKEY_CURRENT_USER, kShellKey)
        .WriteDword(kBarOpenValue, show ? 1 : 0);
  } catch (const registry::RegistryError& e) {
    std::fprintf(stderr, "vellumtrace: the bar's state was not saved: %s\n", e.what());
  }
  if (!show) {
    CloseBar(window);
  } else if (window.bar_open_) {
    HideBar(window, false);
  } else {
    OpenBar(window);
  }
}

void Shell::OpenBar(ShellWindow& window) {
  if (window.bar_open_) return;
  window.bar_open_ = true;
  window.bar_hidden_ = false;
  ExplorerBar::BarView view;
  if (explorer_bar_) view = explorer_bar_->Open(window);
  // The bar may have been closed again while it opened (its window went).
  if (!window.bar_open_) return;
  window.bar_form_ = view.form;
  if (view.width > 0) window.SetBarWidth(view.width);
  // A band registers its helper class as its form is made: the window gets its helpers now if it
  // had none, and the helpers it had bind to the band that just opened.
  if (helpers_.Attach(window.Browser()) == 0) helpers_.Rebind(window.Browser());
  PublishControls();
  PublishWindow(window);
}

void Shell::CloseBar(ShellWindow& window) {
  if (!window.bar_open_) return;
  window.bar_open_ = false;
  window.bar_hidden_ = false;
  window.bar_form_ = nullptr;
  if (explorer_bar_) explorer_bar_->Close(window);
  PublishControls();
  PublishWindow(window);
}

void Shell::HideBar(ShellWindow& window, bool hidden) {
  if (!window.bar_open_ || window.bar_hidden_ == hidden) return;
  window.bar_hidden_ = hidden;
  if (explorer_bar_) {
    explorer_bar_->Show(window, !hidden);
    if (!hidden)
      if (auto width = explorer_bar_->StoredWidth(window)) window.SetBarWidth(*width);
  }
  PublishWindow(window);
}

ShellWindow* Shell::WindowOfBarControl(widgets::Control& control) {
  widgets::Control* top = &control;
  while (top->Parent()) top = top->Parent();
  for (auto& [id, window] : windows_) {
    if (window->bar_open_ && window->bar_form_ == top) return window.get();
  }
  return nullptr;
}

void Shell::Publish(const json& event) {
  hub_.Publish(event.dump());
}

void Shell::PublishWindow(ShellWindow& window) {
  json state = window.Describe();
  if (auto it = watches_.find(window.Id()); it != watches_.end()) state["rev"] = it->second->rev;
  Publish({{"type", "window"}, {"window", std::move(state)}});
}

void Shell::PublishControls() {
  widgets::ChangeSet changes = widgets::TakeChanges();
  if (changes.empty()) return;
  json changed = json::array();
  for (widgets::ControlId id : changes.changed)
    if (const widgets::Control* c = widgets::FindControl(id)) changed.push_back(c->Describe());
  Publish({{"type", "controls"}, {"changed", std::move(changed)}, {"removed", changes.removed}});
}

std::string Shell::StateJson() {
  json windows = json::array();
  for (auto& [id, window] : windows_) {
    Watch(window->Browser());
    json state = window->Describe();
    state["rev"] = watches_[id]->rev;
    windows.push_back(std::move(state));
  }
  // Pending changes stay pending: they belong to every display listening, not only to the one
  // that starts over from the whole state (it takes them again, to no harm).
  json controls = json::array();
  for (widgets::Control* c : widgets::TopLevelControls()) controls.push_back(c->DescribeTree());
  ReadToolbarButtons();  // another process may have changed them
  return json{
      {"seq", hub_.LastSeq()},
      {"windows", std::move(windows)},
      {"controls", std::move(controls)},
      {"toolbarButtons", ToolbarButtonsJson()},
      {"screen", {{"width", browser::Screen::Width()}, {"height", browser::Screen::Height()}}},
      {"testHooks", options_.test_hooks}}
      .dump();
}

std::vector<std::filesystem::path> Shell::FileRoots() {
  return options_.file_roots ? options_.file_roots() : std::vector<std::filesystem::path>{};
}

// ---- Mirrors ----

void Shell::Watch(browser::WebBrowser& b) {
  auto& slot = watches_[b.Id()];
  if (!slot) {
    slot = std::make_unique<MirrorWatch>();
    slot->browser_id = b.Id();
  }
  if (!slot->observing_browser && !FindWindow(b.Id())) {
    b.AddObserver(this);  // windows are observed from the moment they open
    slot->observing_browser = true;
  }
  WatchDocument(*slot, b.Document());
}

void Shell::WatchDocument(MirrorWatch& watch, const std::shared_ptr<dom::Document>& document) {
  auto current = watch.document.lock();
  if (current == document) return;
  if (current && watch.observer) current->RemoveObserver(watch.observer);
  watch.document = document;
  watch.observer = 0;
  if (!document) return;
  int id = watch.browser_id;
  std::weak_ptr<bool> alive = alive_;
  watch.observer = document->AddObserver([this, alive, id](const dom::Change& change) {
    if (!alive.expired()) DocumentChanged(id, change);
  });
}

void Shell::DocumentChanged(int browser_id, const dom::Change& change) {
  auto it = watches_.find(browser_id);
  if (it == watches_.end()) return;
  MirrorWatch& watch = *it->second;
  auto document = watch.document.lock();
  switch (change.kind) {
    case dom::Change::Kind::kAttribute: {
      if (watch.reload_scheduled || !change.element || !document) return;
      int si = change.element->sourceIndex();
      if (si < 0) return;
      json value = nullptr;
      if (change.element->hasAttribute(change.name)) {
        auto v = MirrorAttributeValue(*document, *change.element, change.name,
                                      change.element->getAttribute(change.name),
                                      MirrorOptionsFor(nullptr));
        if (!v) return;
        value = *v;
      }
      Publish({{"type", "page-attr"},
               {"browser", browser_id},
               {"si", si},
               {"name", change.name},
               {"value", value}});
      return;
    }
    case dom::Change::Kind::kTitle:
      if (auto* w = FindWindow(browser_id)) PublishWindow(*w);
      return;
    case dom::Change::Kind::kChildren:
    case dom::Change::Kind::kReplaced:
      ScheduleReload(watch);
      return;
  }
}

void Shell::ScheduleReload(MirrorWatch& watch) {
  if (watch.reload_scheduled) return;
  watch.reload_scheduled = true;
  int id = watch.browser_id;
  std::weak_ptr<bool> alive = alive_;
  // Many edits in one turn of the loop become one reload.
  ui_.Post([this, alive, id] {
    if (alive.expired()) return;
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    it->second->reload_scheduled = false;
    int rev = ++it->second->rev;
    Publish({{"type", "page"}, {"browser", id}, {"rev", rev}});
  });
}

std::string Shell::FrameSource(browser::WebBrowser& b, const dom::Element& frame) {
  auto document = b.Document();
  if (!document) return {};
  size_t index = 0;
  for (const auto& e : document->AllElements()) {
    if (!(e->Is("frame") || e->Is("iframe"))) continue;
    if (e.get() == &frame) {
      if (index < b.Frames().size()) {
        auto& child = b.Frames()[index];
        Watch(*child);
        std::string rev = std::to_string(watches_[child->Id()]->rev);
        if (links_.mirror) return links_.mirror(child->Id()) + "&rev=" + rev;
        return "/mirror/" + std::to_string(child->Id()) + "?rev=" + rev;
      }
      return {};
    }
    ++index;
  }
  return {};
}

std::optional<std::string> Shell::MirrorHtml(int browser_id) {
  browser::WebBrowser* b = browser::WebBrowser::FromId(browser_id);
  if (!b) return std::nullopt;
  Watch(*b);
  auto document = b->Document();
  if (!document) return std::string("<!DOCTYPE html><html><head></head><body></body></html>");
  return SerializeMirror(*document, MirrorOptionsFor(b));
}

MirrorOptions Shell::MirrorOptionsFor(browser::WebBrowser* b) {
  MirrorOptions options;
  if (b) {
    options.frame_source = [this, b](const dom::Element& frame) { return FrameSource(*b, frame); };
  }
  if (links_.file) {
    options.local_file = [this](std::string_view url) {
      auto path = FileUrlToPath(url);
      return path ? links_.file(path->string()) : std::string();
    };
  }
  return options;
}

// ---- Browser and window list observers ----

void Shell::OnWindowOpened(browser::WebBrowser& window) {
  if (windows_.count(window.Id())) return;
  auto shell_window =
      std::make_unique<ShellWindow>(*this, com::ComPtr<browser::WebBrowser>(&window));
  window.AddObserver(this);
  ShellWindow& w = *shell_window;
  windows_[window.Id()] = std::move(shell_window);
  Watch(window);
  helpers_.Attach(window);
  // Windows open with their bar while the user keeps bars open, unless the window is opened by a
  // command that must not give it a band.
  if (explorer_bar_ && !closing_ && BarWanted() && BandActive()) OpenBar(w);
  PublishWindow(w);
}

void Shell::OnWindowClosed(browser::WebBrowser& window) {
  auto it = windows_.find(window.Id());
  if (it == windows_.end()) return;
  CloseBar(*it->second);
  helpers_.Detach(window);
  window.RemoveObserver(this);
  if (auto w = watches_.find(window.Id()); w != watches_.end()) {
    if (auto doc = w->second->document.lock(); doc && w->second->observer)
      doc->RemoveObserver(w->second->observer);
    watches_.erase(w);
  }
  windows_.erase(it);
  Publish({{"type", "window-closed"}, {"id", window.Id()}});
}

void Shell::OnDocumentChanged(browser::WebBrowser& b) {
  auto it = watches_.find(b.Id());
  if (it == watches_.end()) return;
  WatchDocument(*it->second, b.Document());
  ScheduleReload(*it->second);
}

void Shell::OnStateChanged(browser::WebBrowser& b) {
  if (auto* w = FindWindow(b.Id())) PublishWindow(*w);
}

void Shell::OnWindowChanged(browser::WebBrowser& b) {
  if (auto* w = FindWindow(b.Id())) PublishWindow(*w);
}

void Shell::OnCommand(browser::WebBrowser& b, com::DWORD command, com::DWORD) {
  auto document = b.Document();
  switch (command) {
    case browser::OLECMDID_PRINT:
      Publish({{"type", "print"}, {"browser", b.Id()}});
      break;
    case browser::OLECMDID_COPY:
      CopySelection(b);
      break;
    case browser::OLECMDID_SELECTALL:
      if (!document) return;
      if (auto range = document->CreateBodyRange()) range->select();
      Publish({{"type", "select-all"}, {"browser", b.Id()}});
      break;
    default:
      break;
  }
}

void Shell::OnBrowserBar(browser::WebBrowser& b, const std::string&, bool show) {
  ShellWindow* w = FindWindow(b.TopLevel() ? b.TopLevel()->Id() : b.Id());
  if (!w) return;
  // ShowBrowserBar hides an open bar without closing its band, and shows it again.
  if (!show) {
    HideBar(*w, true);
  } else if (w->bar_open_) {
    HideBar(*w, false);
  } else {
    OpenBar(*w);
  }
}

void Shell::OnQuit(browser::WebBrowser&) {}

}  // namespace vt::shell
