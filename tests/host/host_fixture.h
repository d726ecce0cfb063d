#pragma once
// Shared set-up of the host tests: a message loop, a temporary folder with a real page, page
// sessions registered as a band form registers them.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/myDOM.h"
#include "host/bandstate.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/msgloop/message_loop.h"

namespace vt::testing {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionList::ResetForTests();
    SetCurrentSession(nullptr);
    SetBandActive(true);
    dir_ = std::filesystem::temp_directory_path() /
           ("vt-host-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    for (TmyDOM* s : sessions_) {
      SessionList::Remove(s->WindowNumber);
      delete s;
    }
    SetCurrentSession(nullptr);
    SetBandActive(true);
    std::filesystem::remove_all(dir_);
  }

  // A session made current, as the creation of a band form does.
  TmyDOM& BandSession() {
    auto* s = new TmyDOM();
    SessionList::Add(s);
    SetCurrentSession(s);
    sessions_.push_back(s);
    return *s;
  }

  std::string WritePage(const std::string& name, const std::string& html) {
    const auto path = dir_ / name;
    std::ofstream(path) << html;
    return browser::FileUrlFromPath(path.string());
  }

  static bool WaitIdle(browser::IWebBrowser2& b) {
    return msgloop::PumpUntil([&] { return !b.Busy(); }, std::chrono::milliseconds(5000));
  }

  msgloop::MessageLoop loop_;
  std::filesystem::path dir_;
  std::vector<TmyDOM*> sessions_;
};

}  // namespace vt::testing
