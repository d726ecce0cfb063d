#pragma once
// Dissecting a page without a band: load it in a browser object (frames included), parse it in a
// page session, and report the filter tree, the element table and the final status. Used by the
// `dissect` command and the benchmark. UI thread; runs the message loop while the page loads.
#include <cstdint>
#include <string>
#include <vector>

#include "core/myDOM.h"

namespace vt {

struct DissectNode {
  std::string text;
  int image = 0;
  int value = 0;
  std::vector<DissectNode> children;
};

struct DissectResult {
  bool loaded = false;
  std::string error;  // why the page could not be loaded
  std::string url;    // the address that was loaded
  int status = kStatusNoData;
  std::string status_text;
  int entry_count = 0;
  std::vector<DissectNode> tree;
  std::vector<Tnode> entries;  // positions 1 to entry_count, Node left empty
};

// PAGE is a local file path or an address. A path that does not name a readable file, an
// address the browser could not load (no answer, refused, an HTTP error status, too large: the
// browser would show its error page), or a load that does not finish in `timeout_ms` gives
// loaded = false and the reason in `error`. Frames that fail to load leave the page loaded.
DissectResult DissectPage(const std::string& page, int timeout_ms = 60000);

// Parses the page a browser already shows, in a fresh page session with its own tree and status
// bar.
DissectResult DissectBrowser(const BrowserRef& browser);

// One node a line, indented two spaces per level, then the final status text.
std::string DissectText(const DissectResult& result);
// {"status", "statusText", "entryCount", "tree": [...], "entries": [...]} and a final newline.
std::string DissectJson(const DissectResult& result);

}  // namespace vt
