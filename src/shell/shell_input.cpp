// The display's input, dispatched on the UI thread.
#include <chrono>
#include <stdexcept>

#include "platform/browser/mshtml.h"
#include "platform/dom/document.h"
#include "shell/shell.h"

namespace vt::shell {
using nlohmann::json;

namespace {

int Int(const json& j, const char* key, int fallback = 0) {
  auto it = j.find(key);
  return it != j.end() && it->is_number() ? it->get<int>() : fallback;
}

std::string Text(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool Bool(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_boolean() && it->get<bool>();
}

browser::WebBrowser& BrowserOf(const json& input) {
  browser::WebBrowser* b = browser::WebBrowser::FromId(Int(input, "browser"));
  if (!b) throw std::invalid_argument("no such browser");
  return *b;
}

// The link a click on `element` follows: the nearest A or AREA with an address.
dom::ElementPtr LinkOf(dom::ElementPtr element) {
  for (; element; element = element->parentElement())
    if ((element->Is("a") || element->Is("area")) && element->hasAttribute("href")) return element;
  return nullptr;
}

}  // namespace

std::string Shell::HandleInput(const std::string& text) {
  json input = json::parse(text, nullptr, false);
  if (!input.is_object()) throw std::invalid_argument("input is not a JSON object");
  return Input(input).dump();
}

ShellWindow& Shell::WindowOf(const json& input) {
  ShellWindow* window = FindWindow(Int(input, "window"));
  if (!window) throw std::invalid_argument("no such window");
  return *window;
}

json Shell::Input(const json& input) {
  const std::string type = Text(input, "type");
  if (type == "page-mousemove") return PageEvent(input, "mousemove");
  if (type == "page-click") return PageEvent(input, "click");
  if (type == "page-selection") return PageSelection(input);
  if (type == "page-contextmenu") return PageContextMenu(input);
  if (type == "control") return ControlInput(input);
  if (type == "ping") return {{"pong", true}};  // the display's check that the system answers
  if (type == "screen") {
    browser::Screen::SetSize(Int(input, "width", 1024), Int(input, "height", 768));
    for (auto& [id, window] : windows_) {
      if (!window->Maximized()) continue;
      window->Browser().SetWidth(browser::Screen::Width());
      window->Browser().SetHeight(browser::Screen::Height());
    }
    return {{"width", browser::Screen::Width()}, {"height", browser::Screen::Height()}};
  }
  if (type == "new-window") {
    com::ComPtr<browser::WebBrowser> b = browser::CreateBrowserWindow();
    b->SetVisible(true);
    b->Navigate("about:blank");
    return {{"window", b->Id()}};
  }
  ShellWindow& window = WindowOf(input);
  browser::WebBrowser& b = window.Browser();
  if (type == "navigate") {
    std::string url = Text(input, "url");
    if (url.empty()) throw std::invalid_argument("no address");
    return {{"hr", b.Navigate(url)}};
  }
  if (type == "stop") return {{"hr", b.Stop()}};
  if (type == "refresh") return {{"hr", b.Refresh()}};
  if (type == "exec") {
    const std::string command = Text(input, "command");
    com::DWORD id = command == "copy"        ? browser::OLECMDID_COPY
                    : command == "print"     ? browser::OLECMDID_PRINT
                    : command == "selectall" ? browser::OLECMDID_SELECTALL
                                             : 0;
    if (id == 0) throw std::invalid_argument("unknown command");
    return {{"hr", b.ExecWB(id, browser::OLECMDEXECOPT_DODEFAULT)}};
  }
  if (type == "bar") {
    ShowBar(window, Bool(input, "open"));
    return {{"open", window.BarOpen()}};
  }
  if (type == "toolbar-button") return PressToolbarButton(window, Text(input, "button"));
  if (type == "bar-width") {
    window.SetBarWidth(Int(input, "width", window.BarWidth()));
    if (explorer_bar_ && window.BarOpen()) explorer_bar_->Resized(window, window.BarWidth());
    PublishWindow(window);
    return {{"width", window.BarWidth()}};
  }
  if (type == "key") {
    bool taken = explorer_bar_ && window.BarOpen() && explorer_bar_->TranslateKey(window, input);
    return {{"handled", taken}};
  }
  if (type == "window-bounds") {
    b.SetLeft(Int(input, "left", b.Left()));
    b.SetTop(Int(input, "top", b.Top()));
    b.SetWidth(Int(input, "width", b.Width()));
    b.SetHeight(Int(input, "height", b.Height()));
    return window.Describe();
  }
  if (type == "window-maximize") {
    window.SetMaximized(Bool(input, "maximized"));
    return window.Describe();
  }
  if (type == "window-close") {
    CloseBar(window);
    return {{"hr", b.Quit()}};
  }
  throw std::invalid_argument("unknown input '" + type + "'");
}

json Shell::PageEvent(const json& input, const std::string& type) {
  browser::WebBrowser& b = BrowserOf(input);
  auto document = b.Document();
  if (!document) return {{"sinks", 0}};
  dom::ElementPtr element = document->ElementAt(Int(input, "si", -1));
  if (!element) return {{"sinks", 0}, {"stale", true}};
  dom::EventObject event;
  event.type = type;
  event.srcElement = element;
  event.clientX = Int(input, "x");
  event.clientY = Int(input, "y");
  event.screenX = Int(input, "screenX");
  event.screenY = Int(input, "screenY");
  event.button = Int(input, "button");
  event.ctrlKey = Bool(input, "ctrl");
  event.shiftKey = Bool(input, "shift");
  event.altKey = Bool(input, "alt");
  bool proceed = true;
  int sinks = document->FireEvent(element, event, &proceed);
  json answer = {{"sinks", sinks}, {"status", b.StatusText()}};
  if (type == "click" && Int(input, "button") == 0 && proceed) {
    // A click on a link follows it unless a sink cancelled the click.
    if (dom::ElementPtr link = LinkOf(element)) {
      std::string href = link->href();
      if (!href.empty() && href.rfind("javascript:", 0) != 0) {
        if (link->getAttribute("target") == "_blank") {
          com::ComPtr<browser::WebBrowser> w = browser::CreateBrowserWindow();
          w->SetVisible(true);
          w->Navigate(href);
        } else {
          b.Navigate(href);
        }
        answer["navigated"] = href;
      }
    }
  }
  return answer;
}

json Shell::PageSelection(const json& input) {
  browser::WebBrowser& b = BrowserOf(input);
  auto document = b.Document();
  if (!document) return {{"type", "None"}};
  dom::Selection& selection = document->selection();
  if (Bool(input, "none")) {
    selection.empty();
  } else {
    auto position = [&](const char* key) {
      const json& p = input.at(key);
      return dom::Position{Int(p, "si", -1), static_cast<long>(Int(p, "offset"))};
    };
    if (!selection.SetText(position("anchor"), position("focus")))
      return {{"type", selection.type()}, {"stale", true}};
  }
  return {{"type", selection.type()}};
}

json Shell::PageContextMenu(const json& input) {
  browser::WebBrowser& b = BrowserOf(input);
  auto document = b.Document();
  dom::ElementPtr element = document ? document->ElementAt(Int(input, "si", -1)) : nullptr;
  if (!element) return {{"handled", false}};
  // As a browser does: the document's host is asked first and may show its own menu.
  if (browser::AskHostForContextMenu(*document, Int(input, "screenX"), Int(input, "screenY"))) {
    return {{"handled", true}};
  }
  bool handled =
      context_menu_ && context_menu_(b, element, Int(input, "screenX"), Int(input, "screenY"));
  return {{"handled", handled}};
}

json Shell::ControlInput(const json& input) {
  widgets::Control* control = widgets::FindControl(input.value("id", widgets::ControlId{0}));
  if (!control) return {{"handled", false}, {"stale", true}};
  auto it = input.find("input");
  if (it == input.end()) return {{"handled", false}};
  // A press on a control of a bar tells the bar's band, which takes the focus.
  if (explorer_bar_ && it->value("type", std::string()) != "resize")
    if (ShellWindow* window = WindowOfBarControl(*control)) explorer_bar_->ChildInput(*window);
  // The band may have closed the bar meanwhile.
  control = widgets::FindControl(input.value("id", widgets::ControlId{0}));
  if (!control) return {{"handled", false}, {"stale", true}};
  bool handled = control->HandleInput(*it);
  return {{"handled", handled}};
}

}  // namespace vt::shell
