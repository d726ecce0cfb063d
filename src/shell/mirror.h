#pragma once
// The mirror of a document: the process's DOM written out as a page for the display's page view.
// Every element carries data-vt-si="<sourceIndex>" so the display can name it; nothing in it can
// run: scripts, inline event handlers, javascript: addresses and refresh headers are left out.
// Files of file: addresses go through the display server's /file route (which serves only the
// program and cache folders); relative addresses of web pages resolve against the page's base.
//
// Runs on the UI thread (it reads the document).
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dom/document.h"

namespace vt::shell {

struct MirrorOptions {
  // The address a FRAME or IFRAME shows in the mirror (another mirror); "about:blank" when unset
  // or when it answers "".
  std::function<std::string(const dom::Element& frame)> frame_source;
};

std::string SerializeMirror(const dom::Document& document, const MirrorOptions& options = {});

// One attribute as the mirror writes it: nullopt when it is left out (event handlers,
// javascript: addresses), otherwise the value to write. `document` resolves relative addresses.
std::optional<std::string> MirrorAttributeValue(const dom::Document& document,
                                                const dom::Element& element, std::string_view name,
                                                std::string_view value);

// The display server's address for a file: URL ("/file?path=..."); "" for other addresses.
std::string FileRoute(std::string_view url);

}  // namespace vt::shell
