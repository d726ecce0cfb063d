#pragma once
// A program folder with a freshly installed database in a temporary folder, its data module
// opened on a page session, and a browser to show local pages in. Shared by the indexer and the
// article compiler tests.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/myDOM.h"
#include "platform/widgets/indicators.h"
#include "storage/datamodule.h"

namespace vt::testing {

class TestProgram {
 public:
  TestProgram();
  ~TestProgram();
  TestProgram(const TestProgram&) = delete;
  TestProgram& operator=(const TestProgram&) = delete;

  TmyDOM& Session() { return *session_; }
  const std::string& AppDir() const { return app_dir_; }
  std::filesystem::path Folder() const { return folder_; }

  // Writes `html` as a file of the temporary folder and shows it in the session's browser;
  // answers the page's address.
  std::string ShowPage(const std::string& file_name, const std::string& html);
  // Shows an existing file.
  std::string ShowFile(const std::filesystem::path& path);

  // The first column of the first row of a query, as an integer (0 for no row).
  std::int64_t Scalar(const std::string& sql);
  std::int64_t Count(const std::string& table) { return Scalar("SELECT COUNT(*) FROM " + table); }
  // The text of the status bar's first panel.
  std::string StatusText() const { return status_bar_.PanelText(0); }
  void SetStatusText(const std::string& text) { status_bar_.SetPanelText(0, text); }

 private:
  std::filesystem::path folder_;
  std::string app_dir_;
  std::unique_ptr<TDataModule1> data_module_;
  widgets::StatusBar status_bar_{"sb1"};
  TmyDOM* session_ = nullptr;
};

}  // namespace vt::testing
