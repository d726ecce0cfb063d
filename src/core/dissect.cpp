#include "core/dissect.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "platform/browser/session.h"
#include "platform/browser/url.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace vt {
namespace {

std::string Seconds(int ms) {
  const int s = (ms + 999) / 1000;
  return std::to_string(s) + (s == 1 ? " second" : " seconds");
}

bool HasScheme(const std::string& page) {
  const std::string scheme = browser::SchemeOf(page);
  return scheme.size() > 1;  // "c:" style drive letters are not schemes here
}

DissectNode Capture(const widgets::TreeNode& node) {
  DissectNode out{node.Text(0), node.ImageIndex(), node.Value(), {}};
  for (std::size_t i = 0; i < node.Count(); ++i) out.children.push_back(Capture(node.Item(i)));
  return out;
}

void AppendText(const DissectNode& node, int depth, std::string& out) {
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
  out += node.text;
  out += '\n';
  for (const auto& child : node.children) AppendText(child, depth + 1, out);
}

nlohmann::ordered_json NodeJson(const DissectNode& node) {
  nlohmann::ordered_json children = nlohmann::ordered_json::array();
  for (const auto& child : node.children) children.push_back(NodeJson(child));
  return {
      {"text", node.text}, {"image", node.image}, {"value", node.value}, {"children", children}};
}

}  // namespace

DissectResult DissectBrowser(const BrowserRef& browser) {
  DissectResult result;
  result.loaded = true;
  result.url = browser ? browser->LocationURL() : std::string();
  widgets::StatusBar status_bar("sb1");
  widgets::TreeList tree("tv");
  auto* session = new TmyDOM(browser);
  session->InitSession(nullptr, nullptr, &status_bar, nullptr);
  session->FilterTree = &tree;
  session->RefreshDocuments();
  session->ParseDocument();
  result.status = session->Status;
  result.status_text = status_bar.PanelText(0);
  result.entry_count = session->EntryCount;
  for (std::size_t i = 0; i < tree.RootCount(); ++i) result.tree.push_back(Capture(tree.Root(i)));
  for (int p = 1; p <= session->EntryCount; ++p) {
    Tnode entry = *session->Entries[p];
    entry.Node = {};
    result.entries.push_back(std::move(entry));
  }
  session->ReleaseSession();
  return result;
}

DissectResult DissectPage(const std::string& page, int timeout_ms) {
  DissectResult failed;
  std::string url;
  if (HasScheme(page)) {
    url = page;
  } else {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(page, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec) || access(path.c_str(), R_OK) != 0) {
      failed.error = "cannot read '" + page + "': no such readable file";
      return failed;
    }
    url = browser::FileUrlFromPath(path.lexically_normal().string());
  }
  // A fetch that outlives the wait would only be stopped: let it end (and say why) within it.
  auto& limits = browser::InternetSession::Process().Limits();
  limits.total_timeout = std::min(limits.total_timeout, msgloop::Milliseconds(timeout_ms));
  limits.connect_timeout = std::min(limits.connect_timeout, limits.total_timeout);
  com::ComPtr<browser::WebBrowser> web = browser::WebBrowser::Create();
  if (web->Navigate(url) < 0) {
    failed.error = "'" + page + "' is not an address that can be loaded";
    return failed;
  }
  // The fetch gives up on its own after the wait; a little more lets its reason arrive.
  const auto wait = msgloop::Milliseconds(timeout_ms) + std::chrono::seconds(2);
  if (!msgloop::PumpUntil([&] { return !web->Busy(); }, wait)) {
    web->Stop();
    failed.error = "'" + page + "' did not finish loading within " + Seconds(timeout_ms);
    return failed;
  }
  // The browser shows an error page for a page it could not load; that is no page to dissect.
  if (!web->LoadError().empty()) {
    failed.error = "'" + page + "' could not be loaded: " + web->LoadError();
    return failed;
  }
  if (!web->Document()) {
    failed.error = "'" + page + "' could not be loaded";
    return failed;
  }
  return DissectBrowser(BrowserRef(web.get()));
}

std::string DissectText(const DissectResult& result) {
  std::string out;
  for (const auto& node : result.tree) AppendText(node, 0, out);
  out += result.status_text;
  out += '\n';
  return out;
}

std::string DissectJson(const DissectResult& result) {
  nlohmann::ordered_json tree = nlohmann::ordered_json::array();
  for (const auto& node : result.tree) tree.push_back(NodeJson(node));
  nlohmann::ordered_json entries = nlohmann::ordered_json::array();
  int position = 0;
  for (const auto& e : result.entries) {
    entries.push_back({{"position", ++position},
                       {"frame", e.Frame},
                       {"table", e.Table},
                       {"row", e.Row},
                       {"col", e.Col},
                       {"image", e.Image},
                       {"link", e.Link},
                       {"sourceIndex", e.SourceIndex},
                       {"text", e.Text}});
  }
  nlohmann::ordered_json out = {{"status", result.status},
                                {"statusText", result.status_text},
                                {"entryCount", result.entry_count},
                                {"tree", tree},
                                {"entries", entries}};
  // Key order as documented; invalid UTF-8 in page text is replaced rather than thrown on.
  return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace vt
