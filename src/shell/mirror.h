#pragma once
// The mirror of a document: the process's DOM written out as a page for the display's page view.
// Every element carries data-vt-si="<sourceIndex>" so the display can name it; nothing in it can
// run: scripts, inline event handlers, javascript: addresses and refresh headers are left out.
//
// The mark-up is written so that the display's browser builds the tree the process holds, or,
// where its parser cannot (a text inside an element it reads as raw text), a tree with no
// element or attribute the process does not hold: no text of the page ever becomes mark-up.
//
// Every address is written absolute: web pages' addresses against the page's base, local files
// through `local_file` (the display server's file route). A relative address that is left over
// resolves against a base that loads nothing from the display server (the page's own web base,
// its file: base, or about:blank).
//
// Runs on the UI thread (it reads the document).
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dom/document.h"

namespace vt::shell {

struct MirrorOptions {
  // The address a FRAME or IFRAME shows in the mirror (another mirror, absolute); "about:blank"
  // when unset or when it answers "".
  std::function<std::string(const dom::Element& frame)> frame_source;
  // The address of a local file (its file: URL given) as the display loads it; "" leaves the
  // address out. Unset: FileRoute.
  std::function<std::string(std::string_view file_url)> local_file;
};

std::string SerializeMirror(const dom::Document& document, const MirrorOptions& options = {});

// One attribute as the mirror writes it: nullopt when it is left out (event handlers,
// javascript: addresses), otherwise the value to write (addresses made absolute).
std::optional<std::string> MirrorAttributeValue(const dom::Document& document,
                                                const dom::Element& element, std::string_view name,
                                                std::string_view value,
                                                const MirrorOptions& options = {});

// The display server's address for a file: URL ("/file?path=..."); "" for other addresses.
std::string FileRoute(std::string_view url);

}  // namespace vt::shell
