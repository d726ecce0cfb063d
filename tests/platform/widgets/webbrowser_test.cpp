#include "platform/widgets/webbrowser.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/msgloop/message_loop.h"

namespace vt::widgets {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(WebBrowserControlTest, NavigationReachesTheDisplayAsChangesOfTheControl) {
  msgloop::MessageLoop loop;
  fs::path dir = fs::temp_directory_path() / ("vt-wb-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path page = dir / "snippet.html";
  std::ofstream(page) << "<html><head><title>Leek soup</title></head><body><p>Hi</p></body></html>";

  WebBrowserControl wb3("wb3");
  int documents = 0;
  wb3.OnNewDocument = [&](Control&) { ++documents; };
  TakeChanges();
  ASSERT_EQ(wb3.Navigate("file://" + page.string()), 0);
  ASSERT_TRUE(loop.PumpUntil([&] { return !wb3.Busy(); }, 5000ms));
  EXPECT_EQ(documents, 1);
  ChangeSet changes = TakeChanges();
  EXPECT_NE(std::find(changes.changed.begin(), changes.changed.end(), wb3.Id()),
            changes.changed.end());
  Json d = wb3.Describe();
  EXPECT_EQ(d["kind"], "browser");
  EXPECT_EQ(d["browserId"], wb3.Browser().Id());
  EXPECT_EQ(d["title"], "Leek soup");
  EXPECT_EQ(d["busy"], false);
  ASSERT_TRUE(wb3.Document());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vt::widgets
