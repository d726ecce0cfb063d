#pragma once
// The process's top-level browser windows and the screen they are placed on.
// UI thread only.

#include <vector>

#include "platform/browser/web_browser.h"

namespace vt::browser {

// The screen: 1024 x 768 until the display reports its own size.
struct Screen {
  static long Width();
  static long Height();
  // Sizes below 100 x 100 are taken as 100 x 100.
  static void SetSize(long width, long height);
};

// Hears of windows opening and closing, on the UI thread.
class WindowListObserver {
 public:
  virtual ~WindowListObserver() = default;
  // Called while CreateBrowserWindow runs, before it returns the window (hidden, no page yet),
  // so that the shell can attach to it before the first navigation.
  virtual void OnWindowOpened(WebBrowser& window) {}
  // Called from Quit, after OnQuit was fired.
  virtual void OnWindowClosed(WebBrowser& window) {}
};

// A new top-level browser window: not visible, 800 x 600 (within the screen) at 0, 0, with
// address bar, menu bar and status bar, no page. It stays in the window list until Quit.
com::ComPtr<WebBrowser> CreateBrowserWindow();

// The open top-level windows, oldest first.
std::vector<com::ComPtr<WebBrowser>> BrowserWindows();

void AddWindowListObserver(WindowListObserver* observer);
void RemoveWindowListObserver(WindowListObserver* observer);

}  // namespace vt::browser
