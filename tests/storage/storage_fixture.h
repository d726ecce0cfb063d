#pragma once
// A page session on a freshly installed database in a temporary program folder, with its own
// status bar; pages are real files loaded through a real browser object.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/myDOM.h"
#include "platform/ado/ado.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "storage/datamodule.h"
#include "storage/install.h"

namespace vt::testing {

class StorageTest : public ::testing::Test {
 protected:
  StorageTest() : status_bar("sb1") {
    char tmpl[] = "/tmp/vt-storage-XXXXXX";
    home = ::mkdtemp(tmpl);
    app = home + "/app/";
    storage::InstallProgramFolder(app, home + "/cache/");
    SetStorageMessageBox([this](const std::string& text, const std::string& caption) {
      boxes.push_back(caption + ": " + text);
    });
  }
  ~StorageTest() override {
    session.reset();
    module.reset();
    SetStorageMessageBox(nullptr);
    std::filesystem::remove_all(home);
  }

  // A session attached to a new data module, its database opened.
  TmyDOM& Open(const std::string& folder = {}) {
    session = std::make_unique<TmyDOM>();
    session->StatusBar = &status_bar;
    module = std::make_unique<TDataModule1>();
    AttachDataModule(*session, *module);
    OpenDatabase(*session, folder.empty() ? app : folder);
    return *session;
  }

  // Shows the page in a real browser and makes it the session's top document.
  void ShowPage(const std::string& html) {
    const std::string path = home + "/page.html";
    std::ofstream(path, std::ios::binary) << html;
    auto web = browser::WebBrowser::Create();
    web->Navigate(browser::FileUrlFromPath(path));
    ASSERT_TRUE(msgloop::PumpUntil([&] { return !web->Busy(); }, msgloop::Milliseconds(20000)));
    session->Browser = BrowserRef(web.get());
    session->RefreshDocuments();
    ASSERT_TRUE(session->Document);
  }

  // A separate connection on the same file, for checking what was stored.
  std::string Sql(const std::string& sql) {
    ado::Connection c;
    c.SetConnectionString("Data Source=" + app + "vellumtrace.mdb");
    c.Open();
    ado::Query q(&c);
    q.SetCommandText(sql);
    q.Open();
    std::string out;
    for (; !q.Eof(); q.Next()) {
      for (int i = 0; i < q.FieldCount(); ++i)
        out += (i ? "|" : "") + (q.FieldAt(i).IsNull() ? "NULL" : q.FieldAt(i).AsString());
      out += "\n";
    }
    return out;
  }
  void Exec(const std::string& sql) {
    ado::Connection c;
    c.SetConnectionString("Data Source=" + app + "vellumtrace.mdb");
    c.Open();
    c.Execute(sql);
  }
  std::string Status() const { return status_bar.PanelText(0); }

  std::string home, app;
  widgets::StatusBar status_bar;
  std::vector<std::string> boxes;
  std::unique_ptr<TDataModule1> module;
  std::unique_ptr<TmyDOM> session;
};

}  // namespace vt::testing
