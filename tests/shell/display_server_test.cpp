// The display server end to end over real sockets: access rules, the event stream, input reaching
// the UI thread, mirrors and files.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "shell/display_server.h"

namespace vt::shell {
namespace {
namespace fs = std::filesystem;

// A UI thread of its own: tasks run there one at a time, in order.
class QueueThread final : public UiThread {
 public:
  QueueThread() : thread_([this] { Loop(); }) {}
  ~QueueThread() override {
    Post({});
    thread_.join();
  }
  void Run(std::function<void()> task) override {
    if (std::this_thread::get_id() == thread_.get_id()) return task();
    std::promise<void> done;
    Post([&] {
      try {
        task();
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
    done.get_future().get();
  }
  void Post(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    ready_.notify_one();
  }
  std::thread::id Id() const { return thread_.get_id(); }

 private:
  void Loop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !queue_.empty(); });
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      if (!task) return;
      task();
    }
  }
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
};

class FakeBackend final : public DisplayBackend {
 public:
  std::string StateJson() override {
    threads.push_back(std::this_thread::get_id());
    return R"({"windows":[]})";
  }
  std::string HandleInput(const std::string& json) override {
    threads.push_back(std::this_thread::get_id());
    inputs.push_back(json);
    if (json == "bad") throw std::invalid_argument("input is not a JSON object");
    return R"({"ok":true})";
  }
  std::optional<std::string> MirrorHtml(int id) override {
    if (id != 7) return std::nullopt;
    return std::string("<p data-vt-si=\"3\">mirror</p>");
  }
  std::vector<fs::path> FileRoots() override { return roots; }
  void SetMirrorLinks(MirrorLinks given) override { links = std::move(given); }
  std::string Debug(const std::string& what, const std::string&) override {
    return "{\"what\":\"" + what + "\"}";
  }
  std::vector<std::thread::id> threads;
  std::vector<std::string> inputs;
  std::vector<fs::path> roots;
  MirrorLinks links;
};

class DisplayServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vt-server-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "web" / "css");
    fs::create_directories(dir_ / "app");
    fs::create_directories(dir_ / "outside");
    std::ofstream(dir_ / "web" / "index.html") << "<!doctype html><title>display</title>";
    std::ofstream(dir_ / "web" / "css" / "shell.css") << "body{}";
    std::ofstream(dir_ / "app" / "_blank.gif") << "GIF89a";
    std::ofstream(dir_ / "outside" / "secret.txt") << "secret";
    backend_.roots = {dir_ / "app"};
  }
  void TearDown() override {
    server_.reset();
    fs::remove_all(dir_);
  }

  int Start(int port = 18470, bool debug = false) {
    ServerOptions options;
    options.port = port;
    options.web_dir = dir_ / "web";
    options.token = kToken;
    options.debug_routes = debug;
    server_ = std::make_unique<DisplayServer>(options, ui_, backend_, hub_);
    return server_->Start();
  }

  httplib::Headers Authorized() { return {{"X-Vellumtrace-Token", kToken}}; }
  httplib::Client Client() {
    httplib::Client c("127.0.0.1", server_->Port());
    c.set_read_timeout(5, 0);
    return c;
  }

  static constexpr const char* kToken = "feedfacefeedfacefeedfacefeedface";
  fs::path dir_;
  QueueThread ui_;
  FakeBackend backend_;
  EventHub hub_;
  std::unique_ptr<DisplayServer> server_;
};

TEST_F(DisplayServerTest, ThePrintedAddressOpensTheDisplayAndNoCookieIsSet) {
  int port = Start();
  EXPECT_EQ(server_->Address(), "http://127.0.0.1:" + std::to_string(port) + "/?token=" + kToken);
  auto client = Client();
  auto page = client.Get(("/?token=" + std::string(kToken)).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->body, "<!doctype html><title>display</title>");
  EXPECT_FALSE(page->has_header("Set-Cookie"));
  EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("script-src 'self'"),
            std::string::npos);
}

TEST_F(DisplayServerTest, RefusesRequestsWithoutTokenOrWithAnotherHost) {
  Start();
  auto client = Client();
  // Whatever cookie comes along, only the header opens the server.
  httplib::Headers cookie = {
      {"Cookie", "vt_token_" + std::to_string(server_->Port()) + "=" + kToken}};
  for (const char* path : {"/api/state", "/mirror/7", "/file?path=/etc/passwd"}) {
    auto res = client.Get(path, cookie);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 401) << path;
  }
  auto post = client.Post("/api/input", "{}", "application/json");
  ASSERT_TRUE(post);
  EXPECT_EQ(post->status, 401);
  EXPECT_TRUE(backend_.inputs.empty());

  httplib::Headers rebinding = Authorized();
  rebinding.emplace("Host", "attacker.example:" + std::to_string(server_->Port()));
  for (const char* path : {"/api/state", "/"}) {
    auto res = client.Get(path, rebinding);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 421);
  }

  httplib::Headers foreign = Authorized();
  foreign.emplace("Origin", "http://attacker.example");
  auto cross = client.Post("/api/input", foreign, "{}", "application/json");
  ASSERT_TRUE(cross);
  EXPECT_EQ(cross->status, 403);
  EXPECT_TRUE(backend_.inputs.empty());
}

TEST_F(DisplayServerTest, ABodyOverTheLimitIsRefusedAndNotHandedOn) {
  Start();
  auto client = Client();
  std::string huge(2 << 20, 'x');
  auto res = client.Post("/api/input", Authorized(), huge, "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
  EXPECT_TRUE(backend_.inputs.empty());
}

TEST_F(DisplayServerTest, MirrorsAndFilesOpenByTheGrantsTheirAddressesCarry) {
  Start();
  auto client = Client();
  auto answer = client.Get("/api/mirror/7", Authorized());
  ASSERT_TRUE(answer);
  std::string address = nlohmann::json::parse(answer->body).at("address");
  EXPECT_EQ(address.rfind("/mirror/7?grant=", 0), 0u) << address;
  auto mirror = client.Get(address.c_str());
  ASSERT_TRUE(mirror);
  EXPECT_EQ(mirror->status, 200);
  auto other = client.Get(("/mirror/8?grant=" + address.substr(address.find('=') + 1)).c_str());
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 401);

  // The backend was given absolute links that carry their grants.
  std::string gif = (dir_ / "app" / "_blank.gif").string();
  std::string link = backend_.links.file(gif);
  std::string origin = "http://127.0.0.1:" + std::to_string(server_->Port());
  ASSERT_EQ(link.rfind(origin + "/file?path=", 0), 0u) << link;
  auto file = client.Get(link.substr(origin.size()).c_str());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->body, "GIF89a");
  // Its grant opens no other file.
  std::string grant = link.substr(link.find("&grant=") + 7);
  auto secret = client.Get(
      ("/file?path=" + (dir_ / "outside" / "secret.txt").string() + "&grant=" + grant).c_str());
  ASSERT_TRUE(secret);
  EXPECT_EQ(secret->status, 401);
  EXPECT_EQ(backend_.links.mirror(3).rfind(origin + "/mirror/3?grant=", 0), 0u);
}

TEST_F(DisplayServerTest, InputAndStateRunOnTheUiThread) {
  Start();
  auto client = Client();
  auto res = client.Post("/api/input", Authorized(), R"({"type":"x"})", "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, R"({"ok":true})");
  auto state = client.Get("/api/state", Authorized());
  ASSERT_TRUE(state);
  EXPECT_EQ(state->body, R"({"windows":[]})");
  ASSERT_EQ(backend_.threads.size(), 2u);
  for (auto id : backend_.threads) EXPECT_EQ(id, ui_.Id());
  ASSERT_EQ(backend_.inputs.size(), 1u);
  EXPECT_EQ(backend_.inputs[0], R"({"type":"x"})");

  auto bad = client.Post("/api/input", Authorized(), "bad", "application/json");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
  EXPECT_EQ(bad->body, R"({"error":"input is not a JSON object"})");
}

TEST_F(DisplayServerTest, StreamCarriesPublishedEventsInOrder) {
  Start();
  hub_.Publish(R"({"type":"a"})");
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    hub_.Publish(R"({"type":"b"})");
  });
  std::string received;
  auto client = Client();
  client.Get("/api/events?since=0", Authorized(), [&](const char* data, size_t size) {
    received.append(data, size);
    return received.find("\"b\"") == std::string::npos;  // stop once b arrived
  });
  later.join();
  EXPECT_EQ(received, "id: 1\ndata: {\"type\":\"a\"}\n\nid: 2\ndata: {\"type\":\"b\"}\n\n");
}

TEST_F(DisplayServerTest, MirrorCarriesAPolicyUnderWhichNoScriptRuns) {
  Start();
  auto client = Client();
  auto res = client.Get("/mirror/7", Authorized());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  std::string policy = res->get_header_value("Content-Security-Policy");
  EXPECT_NE(policy.find("script-src 'none'"), std::string::npos);
  EXPECT_NE(policy.find("object-src 'none'"), std::string::npos);
  auto missing = client.Get("/mirror/8", Authorized());
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

TEST_F(DisplayServerTest, FileRouteServesOnlyTheProgramAndCacheFolders) {
  Start();
  auto client = Client();
  auto ok =
      client.Get(("/file?path=" + (dir_ / "app" / "_blank.gif").string()).c_str(), Authorized());
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->body, "GIF89a");
  EXPECT_EQ(ok->get_header_value("Content-Type"), "image/gif");
  EXPECT_NE(ok->get_header_value("Content-Security-Policy").find("sandbox"), std::string::npos);
  for (std::string path : {(dir_ / "outside" / "secret.txt").string(),
                           (dir_ / "app" / ".." / "outside" / "secret.txt").string(),
                           std::string("/etc/passwd"), std::string("")}) {
    auto res = client.Get(("/file?path=" + path).c_str(), Authorized());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404) << path;
  }
  // The display's own route does not reach beyond web/ either.
  auto escape = client.Get("/..%2f..%2foutside/secret.txt", Authorized());
  ASSERT_TRUE(escape);
  EXPECT_NE(escape->status, 200);
}

TEST_F(DisplayServerTest, DebugRoutesExistOnlyWhenAskedFor) {
  Start();
  auto client = Client();
  auto off = client.Get("/api/debug/calls", Authorized());
  ASSERT_TRUE(off);
  EXPECT_EQ(off->status, 404);
  server_.reset();
  Start(18490, true);
  auto on = Client().Get("/api/debug/calls", Authorized());
  ASSERT_TRUE(on);
  EXPECT_EQ(on->body, R"({"what":"calls"})");
}

TEST_F(DisplayServerTest, TakenPortMovesToTheNextFreeOne) {
  int first = Start(18480);
  QueueThread other_ui;
  FakeBackend other_backend;
  EventHub other_hub;
  ServerOptions options;
  options.port = first;
  options.web_dir = dir_ / "web";
  DisplayServer second(options, other_ui, other_backend, other_hub);
  int port = second.Start();
  EXPECT_GT(port, first);
  options.next_free_port = false;
  DisplayServer third(options, other_ui, other_backend, other_hub);
  EXPECT_THROW(third.Start(), std::runtime_error);
}

TEST_F(DisplayServerTest, ListensOnLoopbackOnly) {
  int port = Start();
  ifaddrs* list = nullptr;
  ASSERT_EQ(getifaddrs(&list), 0);
  int tried = 0;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    sockaddr_in addr = *reinterpret_cast<sockaddr_in*>(a->ifa_addr);
    if ((ntohl(addr.sin_addr.s_addr) >> 24) == 127) continue;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    int s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0)
        << "reachable on " << inet_ntoa(addr.sin_addr);
    close(s);
    ++tried;
  }
  freeifaddrs(list);
  // Whatever the interfaces, the one listening socket on the port is bound to 127.0.0.1.
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  char want[16];
  std::snprintf(want, sizeof want, ":%04X", port);
  std::vector<std::string> listeners;
  while (std::getline(tcp, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == want)
      listeners.push_back(local);
  }
  EXPECT_EQ(listeners, std::vector<std::string>{std::string("0100007F") + want});
  (void)tried;
}

TEST(EventHubTest, WaitersGetWhatCameAfterTheirCursorAndLateOnesResync) {
  EventHub hub(2);
  hub.Publish("1");
  hub.Publish("2");
  hub.Publish("3");
  auto events = hub.WaitAfter(1, std::chrono::milliseconds(0));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].json, "2");
  EXPECT_EQ(events[1].seq, 3u);
  auto late = hub.WaitAfter(0, std::chrono::milliseconds(0));
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].json, R"({"type":"resync"})");
  EXPECT_EQ(late[0].seq, 3u);
  EXPECT_TRUE(hub.WaitAfter(3, std::chrono::milliseconds(10)).empty());
  std::thread closer([&] { hub.Close(); });
  EXPECT_TRUE(hub.WaitAfter(3, std::chrono::seconds(10)).empty());
  closer.join();
}

}  // namespace
}  // namespace vt::shell
