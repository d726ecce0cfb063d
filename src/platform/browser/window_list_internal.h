#pragma once
// The window list's side of the browser objects. Internal to the browser library.

namespace vt::browser {
class WebBrowser;
}

namespace vt::browser::detail {

void RemoveFromWindowList(WebBrowser* window);
// A top-level window's size within the screen (at least 100).
long ClampToScreenWidth(long width);
long ClampToScreenHeight(long height);

}  // namespace vt::browser::detail
