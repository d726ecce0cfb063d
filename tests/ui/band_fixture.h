#pragma once
// A started band form over a freshly installed program folder, a real browser reporting its events
// through the helper object, and a fake clock driving the timer: what the band tests share.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/IEBrowserHelper.h"
#include "platform/browser/url.h"
#include "platform/msgloop/clock.h"
#include "platform/registry/registry.h"
#include "storage/datamodule.h"
#include "storage/install.h"
#include "ui/BandForm.h"

namespace vt::testing {

class BandFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionList::ResetForTests();
    SetCurrentSession(nullptr);
    registry::DeleteKey(registry::HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace");
    BandState() = {};
    widgets::ClearMessageLog();
    dir_ = std::filesystem::temp_directory_path() /
           ("vt-band-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    browser_ = browser::WebBrowser::Create();
  }
  void TearDown() override {
    if (bho_)
      bho_->Invoke(com::DISPID_ONQUIT, com::GUID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr);
    form_.reset();
    if (session_) session_->ReleaseSession();
    data_module_.ADOConnection.Close();
    std::filesystem::remove_all(dir_);
  }
  // Installs the program folder and database and points the settings at it.
  void InstallDatabase() {
    auto result = storage::InstallProgramFolder((dir_ / "app").string(), (dir_ / "cache").string());
    ASSERT_TRUE(result.problems.empty());
    TmyRegistry().WriteString(settings::AppDir, result.app_dir);
  }
  // A form over a new page session, not yet shown.
  TBandForm& MakeForm() {
    session_ = new TmyDOM(com::ComPtr<browser::IWebBrowser2>(browser_.get()));
    form_ = std::make_unique<TBandForm>(0, data_module_, *session_);
    return *form_;
  }
  // A started form whose browser reports its events through the helper object.
  TBandForm& StartedForm() {
    InstallDatabase();
    TBandForm& form = MakeForm();
    bho_ = com::MakeCom<TIEBrowserHelper>();
    bho_->SetSite(static_cast<browser::IWebBrowser2*>(browser_.get()));
    form.Show();  // as the band site shows it
    form.FormPaint();
    return form;
  }
  void Tick() {
    clock_->Advance(std::chrono::milliseconds(250));
    loop_.ProcessMessages();
    // Pages are read and parsed on worker threads, in real time: let a pending one arrive.
    if (browser_ && browser_->Busy() && loop_.WaitMessage(std::chrono::milliseconds(200))) {
      loop_.ProcessMessages();
    }
  }
  // Whether the band has handled the completed page.
  bool Handled() const {
    return !browser_->Busy() && !session_->DocumentCompleted &&
           session_->Status != kStatusWaiting && session_->Status != kStatusParsing;
  }
  // Navigates and ticks until the band has handled the completed page.
  void Visit(const std::string& url) {
    browser_->Navigate(url);
    Tick();
    for (int i = 0; i < 60 && !Handled(); ++i) Tick();
    ASSERT_TRUE(Handled()) << url;
  }
  // Writes a page into the test's folder and answers its address.
  std::string WritePage(const std::string& name, const std::string& html) {
    std::ofstream(dir_ / name) << html;
    return browser::FileUrlFromPath((dir_ / name).string());
  }

  std::shared_ptr<msgloop::FakeClock> clock_ = std::make_shared<msgloop::FakeClock>();
  msgloop::MessageLoop loop_{clock_};
  std::filesystem::path dir_;
  com::ComPtr<browser::WebBrowser> browser_;
  TDataModule1 data_module_;
  TmyDOM* session_ = nullptr;
  std::unique_ptr<TBandForm> form_;
  com::ComPtr<TIEBrowserHelper> bho_;
};

}  // namespace vt::testing
