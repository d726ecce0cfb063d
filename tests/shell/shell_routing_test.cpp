// The display's input travels from the server's socket threads to the UI thread, where it is
// dispatched as the document's events; changes of the document travel back to the stream.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <nlohmann/json.hpp>

#include "platform/browser/windows.h"
#include "platform/clipboard/clipboard.h"
#include "platform/com/dispatch.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/indicators.h"
#include "shell/shell.h"

namespace vt::shell {
namespace {
namespace fs = std::filesystem;
using nlohmann::json;

class ShellRoutingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vt-shell-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "p.html")
        << "<html><head><title>T</title></head><body><table><tr><td id=cell>x</td></tr></table>"
           "<p id=para>Hello world</p></body></html>";
    ui_ = MessageLoopUiThread(loop_);
    shell_ = std::make_unique<Shell>(*ui_, hub_);
    ServerOptions options;
    options.port = 18600;
    options.token = kToken;
    options.web_dir = dir_;
    server_ = std::make_unique<DisplayServer>(options, *ui_, *shell_, hub_);
    server_->Start();
    window_ = &shell_->OpenMainWindow("file://" + (dir_ / "p.html").string());
    ASSERT_TRUE(
        loop_.PumpUntil([&] { return !window_->Browser().Busy(); }, std::chrono::seconds(10)));
  }
  void TearDown() override {
    shell_->CloseAllWindows();
    StopServer();
    shell_.reset();
    fs::remove_all(dir_);
  }
  void StopServer() {
    auto stopped = std::async(std::launch::async, [&] { server_->Stop(); });
    loop_.PumpUntil(
        [&] { return stopped.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        std::chrono::seconds(10));
  }

  // Posts one input from another thread while this (the UI) thread keeps its loop running.
  json Post(const json& input) {
    auto reply = std::async(std::launch::async, [&] {
      httplib::Client client("127.0.0.1", server_->Port());
      httplib::Headers headers = {{"X-Vellumtrace-Token", kToken}};
      auto res = client.Post("/api/input", headers, input.dump(), "application/json");
      return res ? res->body : std::string("{\"error\":\"no answer\"}");
    });
    loop_.PumpUntil(
        [&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        std::chrono::seconds(10));
    return json::parse(reply.get());
  }

  static constexpr const char* kToken = "00112233445566778899aabbccddeeff";
  fs::path dir_;
  msgloop::MessageLoop loop_;
  std::unique_ptr<UiThread> ui_;
  EventHub hub_;
  std::unique_ptr<Shell> shell_;
  std::unique_ptr<DisplayServer> server_;
  ShellWindow* window_ = nullptr;
};

TEST_F(ShellRoutingTest, MouseMoveRunsTheSinkOnTheUiThreadWithTheCellAsSource) {
  auto document = window_->Browser().Document();
  ASSERT_TRUE(document);
  auto cell = document->getElementById("cell");
  std::vector<std::thread::id> threads;
  std::vector<std::string> sources;
  auto sink = com::MakeCom<com::DispatchSink>([&](com::DISPID, com::DISPPARAMS*, com::VARIANT*) {
    threads.push_back(std::this_thread::get_id());
    auto event = document->parentWindow()->event();
    sources.push_back(event && event->srcElement ? event->srcElement->id() : "");
    return com::S_OK;
  });
  ASSERT_TRUE(document->attachEvent("onmousemove", sink.get()));
  json answer = Post({{"type", "page-mousemove"},
                      {"browser", window_->Browser().Id()},
                      {"si", cell->sourceIndex()},
                      {"x", 5},
                      {"y", 6}});
  EXPECT_EQ(answer.value("sinks", -1), 1);
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0], std::this_thread::get_id());
  EXPECT_EQ(sources, std::vector<std::string>{"cell"});
  EXPECT_FALSE(document->parentWindow()->event());  // only while the event is dispatched
  document->detachEvent("onmousemove", sink.get());

  // A stale index (the page changed meanwhile) is answered, not dispatched.
  EXPECT_EQ(Post({{"type", "page-mousemove"}, {"browser", window_->Browser().Id()}, {"si", 9999}})
                .value("stale", false),
            true);
}

TEST_F(ShellRoutingTest, SelectionFromTheDisplayBecomesTheDocumentsTextSelection) {
  auto document = window_->Browser().Document();
  int para = document->getElementById("para")->sourceIndex();
  json answer = Post({{"type", "page-selection"},
                      {"browser", window_->Browser().Id()},
                      {"anchor", {{"si", para}, {"offset", 6}}},
                      {"focus", {{"si", para}, {"offset", 11}}}});
  EXPECT_EQ(answer.value("type", ""), "Text");
  EXPECT_EQ(document->selection().type(), "Text");
  EXPECT_EQ(document->selection().createRange()->text(), "world");
  Post({{"type", "page-selection"}, {"browser", window_->Browser().Id()}, {"none", true}});
  EXPECT_EQ(document->selection().type(), "None");
}

// The clipboard events the display writes to the desktop clipboard, after `seq`.
std::vector<json> ClipboardEvents(EventHub& hub, uint64_t seq) {
  std::vector<json> out;
  for (const auto& e : hub.WaitAfter(seq, std::chrono::milliseconds(0))) {
    json event = json::parse(e.json);
    if (event["type"] == "clipboard") out.push_back(std::move(event));
  }
  return out;
}

TEST_F(ShellRoutingTest, CopiesReachTheDisplayAsHtmlAndTextThroughTheClipboard) {
  auto document = window_->Browser().Document();
  const int para = document->getElementById("para")->sourceIndex();
  Post({{"type", "page-selection"},
        {"browser", window_->Browser().Id()},
        {"anchor", {{"si", para}, {"offset", 0}}},
        {"focus", {{"si", para}, {"offset", 5}}}});
  uint64_t seq = hub_.LastSeq();
  Post({{"type", "exec"}, {"window", window_->Id()}, {"command", "copy"}});
  auto events = ClipboardEvents(hub_, seq);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["text"], "Hello");
  EXPECT_NE(events[0]["html"].get<std::string>().find("Hello"), std::string::npos);
  // The process's clipboard holds the copy too, as the "HTML Format" block and plain text.
  const clipboard::ClipboardContents contents = clipboard::LastContents();
  ASSERT_NE(contents.Find(clipboard::CF_TEXT), nullptr);
  EXPECT_EQ(*contents.Find(clipboard::CF_TEXT), "Hello");
  const std::string* block = contents.Find(clipboard::RegisterClipboardFormat("HTML Format"));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->rfind("Version:0.9\r\n", 0), 0u);

  // What the system's own commands put there goes out the same way; a close with no change does
  // not repeat it.
  seq = hub_.LastSeq();
  ASSERT_TRUE(clipboard::OpenClipboard());
  clipboard::EmptyClipboard();
  clipboard::SetClipboardData(clipboard::RegisterClipboardFormat("HTML Format"),
                              clipboard::BuildClipboardHtml("<b>page</b>"));
  clipboard::SetClipboardData(clipboard::CF_TEXT, "page");
  clipboard::CloseClipboard();
  ASSERT_TRUE(clipboard::OpenClipboard());
  clipboard::CloseClipboard();
  events = ClipboardEvents(hub_, seq);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["html"], "<b>page</b>\r\n");
  EXPECT_EQ(events[0]["text"], "page");

  // Without a text selection the copy command leaves the clipboard alone.
  Post({{"type", "page-selection"}, {"browser", window_->Browser().Id()}, {"none", true}});
  seq = hub_.LastSeq();
  Post({{"type", "exec"}, {"window", window_->Id()}, {"command", "copy"}});
  EXPECT_TRUE(ClipboardEvents(hub_, seq).empty());
  EXPECT_EQ(*clipboard::LastContents().Find(clipboard::CF_TEXT), "page");
}

TEST_F(ShellRoutingTest, StyleChangesArePushedAndReplacedTreesReloadTheMirror) {
  ASSERT_TRUE(shell_->MirrorHtml(window_->Browser().Id()));
  loop_.ProcessMessages();  // the reload of the page's arrival goes out first
  auto document = window_->Browser().Document();
  auto cell = document->getElementById("cell");
  uint64_t seq = hub_.LastSeq();
  cell->style().setBorder("2px solid red");
  auto events = hub_.WaitAfter(seq, std::chrono::milliseconds(0));
  ASSERT_EQ(events.size(), 1u);
  json event = json::parse(events[0].json);
  EXPECT_EQ(event["type"], "page-attr");
  EXPECT_EQ(event["si"], cell->sourceIndex());
  EXPECT_EQ(event["name"], "style");
  EXPECT_EQ(event["value"], cell->getAttribute("style"));

  seq = hub_.LastSeq();
  document->body()->setInnerHTML("<p>one</p>");
  document->body()->setInnerHTML("<p>two</p>");
  loop_.ProcessMessages();
  events = hub_.WaitAfter(seq, std::chrono::milliseconds(0));
  int reloads = 0;
  for (const auto& e : events) reloads += json::parse(e.json)["type"] == "page";
  EXPECT_EQ(reloads, 1);  // two edits in one turn, one reload
}

TEST_F(ShellRoutingTest, ABurstOfControlChangesReachesTheDisplayAsOneBatch) {
  widgets::Form form("Burst");
  widgets::StatusBar bar("BurstBar", &form);
  loop_.PumpUntil([] { return false; }, std::chrono::milliseconds(150));
  const auto first = hub_.LastSeq();
  // Two hundred changes, each followed by a turn of the loop, as a parse that lets messages run.
  for (int i = 0; i < 200; ++i) {
    bar.SetPanelText(0, "step " + std::to_string(i));
    loop_.ProcessMessages();
  }
  // A display starting over takes the whole state; the others still get the pending changes.
  EXPECT_NE(shell_->StateJson().find("step 199"), std::string::npos);
  loop_.PumpUntil([] { return false; }, std::chrono::milliseconds(250));
  auto events = hub_.WaitAfter(first, std::chrono::milliseconds(0));
  int batches = 0;
  std::string last;
  for (const auto& e : events) {
    if (e.json.find("\"controls\"") == std::string::npos) continue;
    ++batches;
    last = e.json;
  }
  EXPECT_GE(batches, 1);
  EXPECT_LE(batches, 2);
  EXPECT_NE(last.find("step 199"), std::string::npos);
}

TEST_F(ShellRoutingTest, NewWindowsAndTheBarReachTheStateAndClosedWindowsLeaveIt) {
  com::ComPtr<browser::WebBrowser> opened = browser::CreateBrowserWindow();
  opened->SetWidth(700);
  opened->SetHeight(465);
  opened->SetVisible(true);
  json state = json::parse(shell_->StateJson());
  ASSERT_EQ(state["windows"].size(), 2u);
  EXPECT_EQ(state["windows"][1]["width"], 700);
  EXPECT_EQ(state["windows"][1]["height"], 465);
  EXPECT_EQ(state["windows"][1]["visible"], true);
  EXPECT_EQ(state["windows"][0]["maximized"], true);

  Post({{"type", "bar"}, {"window", window_->Id()}, {"open", true}});
  EXPECT_TRUE(window_->BarOpen());
  // The browser's ShowBrowserBar hides the bar without closing it, and shows it again.
  window_->Browser().ShowBrowserBar("{00000000-0000-0000-0000-000000000001}", false);
  EXPECT_TRUE(window_->BarOpen());
  EXPECT_TRUE(window_->BarHidden());
  EXPECT_EQ(json::parse(shell_->StateJson())["windows"][0]["bar"]["open"], false);
  window_->Browser().ShowBrowserBar("{00000000-0000-0000-0000-000000000001}", true);
  EXPECT_FALSE(window_->BarHidden());
  Post({{"type", "bar"}, {"window", window_->Id()}, {"open", false}});
  EXPECT_FALSE(window_->BarOpen());

  Post({{"type", "window-close"}, {"window", opened->Id()}});
  EXPECT_EQ(json::parse(shell_->StateJson())["windows"].size(), 1u);
  EXPECT_EQ(Post({{"type", "navigate"}, {"window", 12345}, {"url", "x"}}).value("error", ""),
            "no such window");
}

}  // namespace
}  // namespace vt::shell
