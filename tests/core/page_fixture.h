#pragma once
// Real pages for the page-session tests: files in a fresh temporary folder, loaded through a real
// browser object, parsed in a page session with its own tree list and status bar.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace vt::testing {

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "vt-core-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    SessionList::ResetForTests();
  }
  void TearDown() override {
    if (session_) session_->ReleaseSession();
    session_ = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const std::string& html) {
    std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << html;
    return path.string();
  }

  // Loads a file into a new browser object and waits for the whole page (frames included).
  BrowserRef Load(const std::string& path) {
    com::ComPtr<browser::WebBrowser> web = browser::WebBrowser::Create();
    web->Navigate(browser::FileUrlFromPath(path));
    EXPECT_TRUE(msgloop::PumpUntil([&] { return !web->Busy(); }, msgloop::Milliseconds(20000)))
        << path;
    return BrowserRef(web.get());
  }

  // A page session bound to `browser` with the tree and the status bar of this test.
  TmyDOM& Session(const BrowserRef& browser) {
    if (session_) session_->ReleaseSession();
    session_ = new TmyDOM(browser);
    session_->InitSession(nullptr, nullptr, &status_bar_, nullptr);
    session_->FilterTree = &tree_;
    session_->RefreshDocuments();
    return *session_;
  }

  // Writes, loads and parses a page.
  TmyDOM& Parse(const std::string& name, const std::string& html) {
    TmyDOM& s = Session(Load(Write(name, html)));
    s.ParseDocument();
    return s;
  }

  std::vector<std::string> RootTexts() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < tree_.RootCount(); ++i) out.push_back(tree_.Root(i).Text());
    return out;
  }
  static std::vector<std::string> ChildTexts(const widgets::TreeNode& node) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < node.Count(); ++i) out.push_back(node.Item(i).Text());
    return out;
  }
  std::string StatusText() const { return status_bar_.PanelText(0); }

  std::filesystem::path dir_;
  widgets::StatusBar status_bar_{"sb1"};
  widgets::TreeList tree_{"tv"};
  TmyDOM* session_ = nullptr;
};

// "<table>...</table>" with `rows` rows of `cols` cells each holding `text` + position.
inline std::string Table(int rows, int cols, const std::string& text = "c") {
  std::string html = "<table>";
  for (int r = 1; r <= rows; ++r) {
    html += "<tr>";
    for (int c = 1; c <= cols; ++c) {
      html += "<td>" + text + std::to_string(r) + std::to_string(c) + "</td>";
    }
    html += "</tr>";
  }
  return html + "</table>";
}

inline std::string Page(const std::string& body) {
  return "<!DOCTYPE html><html><head><title>t</title></head><body>" + body + "</body></html>";
}

}  // namespace vt::testing
