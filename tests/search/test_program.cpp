#include "test_program.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "platform/ado/query.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/msgloop/msgloop.h"
#include "storage/install.h"

namespace vt::testing {

TestProgram::TestProgram() {
  static int serial = 0;
  folder_ = std::filesystem::temp_directory_path() /
            ("vt-indexer-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
  std::filesystem::remove_all(folder_);
  storage::InstallResult installed =
      storage::InstallProgramFolder((folder_ / "app/").string(), (folder_ / "cache/").string());
  app_dir_ = installed.app_dir;
  data_module_ = std::make_unique<TDataModule1>();
  session_ = new TmyDOM(browser::WebBrowser::Create());
  AttachDataModule(*session_, *data_module_);
  session_->StatusBar = &status_bar_;
  OpenDatabase(*session_, app_dir_);
  if (!session_->Connection->Connected()) throw std::runtime_error("test database not opened");
}

TestProgram::~TestProgram() {
  session_->DetachControls();
  session_->ReleaseSession();
  data_module_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string TestProgram::ShowFile(const std::filesystem::path& path) {
  auto& browser = *session_->Browser;
  browser.Navigate(browser::FileUrlFromPath(path.string()));
  if (!msgloop::PumpUntil([&] { return !browser.Busy(); }, std::chrono::seconds(30)))
    throw std::runtime_error("page did not load: " + path.string());
  return browser.LocationURL();
}

std::string TestProgram::ShowPage(const std::string& file_name, const std::string& html) {
  std::filesystem::path path = folder_ / file_name;
  std::ofstream(path, std::ios::binary) << html;
  return ShowFile(path);
}

std::int64_t TestProgram::Scalar(const std::string& sql) {
  ado::Query query(session_->Connection);
  query.SetCommandText(sql);
  query.Open();
  std::int64_t value = query.Eof() ? 0 : query.FieldAt(0).Value().AsInt64();
  query.Close();
  return value;
}

}  // namespace vt::testing
