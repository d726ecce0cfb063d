#include "platform/browser/windows.h"

#include <algorithm>

#include "platform/browser/window_list_internal.h"

namespace vt::browser {
namespace {

constexpr long kMinSize = 100;

struct WindowList {
  long screen_width = 1024, screen_height = 768;
  std::vector<com::ComPtr<WebBrowser>> windows;
  std::vector<WindowListObserver*> observers;

  template <class F>
  void Notify(F&& f) {
    auto copy = observers;
    for (auto* o : copy) {
      if (std::find(observers.begin(), observers.end(), o) == observers.end()) continue;
      try {
        f(o);
      } catch (...) {
        // The list stays sound whatever an observer does.
      }
    }
  }
};

// The windows stay open until the process ends: the list is never destroyed.
WindowList& List() {
  static auto* list = new WindowList();
  return *list;
}

}  // namespace

long Screen::Width() {
  return List().screen_width;
}
long Screen::Height() {
  return List().screen_height;
}
void Screen::SetSize(long width, long height) {
  List().screen_width = std::max(kMinSize, width);
  List().screen_height = std::max(kMinSize, height);
}

com::ComPtr<WebBrowser> CreateBrowserWindow() {
  com::ComPtr<WebBrowser> window(new WebBrowser());
  window->top_level_window_ = true;
  window->width_ = detail::ClampToScreenWidth(800);
  window->height_ = detail::ClampToScreenHeight(600);
  List().windows.push_back(window);
  List().Notify([&](WindowListObserver* o) { o->OnWindowOpened(*window); });
  return window;
}

std::vector<com::ComPtr<WebBrowser>> BrowserWindows() {
  return List().windows;
}

void AddWindowListObserver(WindowListObserver* observer) {
  auto& list = List().observers;
  if (std::find(list.begin(), list.end(), observer) == list.end()) list.push_back(observer);
}

void RemoveWindowListObserver(WindowListObserver* observer) {
  auto& list = List().observers;
  list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

namespace detail {

void RemoveFromWindowList(WebBrowser* window) {
  auto& windows = List().windows;
  auto it = std::find_if(windows.begin(), windows.end(),
                         [&](const com::ComPtr<WebBrowser>& w) { return w.get() == window; });
  if (it == windows.end()) return;
  com::ComPtr<WebBrowser> keep = *it;  // alive while the observers hear of it
  windows.erase(it);
  List().Notify([&](WindowListObserver* o) { o->OnWindowClosed(*keep); });
}

long ClampToScreenWidth(long width) {
  return std::clamp(width, kMinSize, Screen::Width());
}
long ClampToScreenHeight(long height) {
  return std::clamp(height, kMinSize, Screen::Height());
}

}  // namespace detail
}  // namespace vt::browser
