// `vellumtrace dissect` run as a user runs it: golden outputs and every corpus page.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../platform/browser/test_server.h"

namespace {

using vt::browser::testing::RefusingPort;
using vt::browser::testing::TestServer;

// A port on 127.0.0.1 that takes connections and never answers on them.
class SilentPort {
 public:
  SilentPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 8);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~SilentPort() { ::close(fd_); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

struct Outcome {
  int exit_code;
  std::string out;
  std::string err;
};

Outcome Dissect(const std::string& args) {
  static std::atomic<int> counter{0};
  const std::string err_file = std::string(VT_TEST_BINARY_DIR) + "/dissect-err-" +
                               std::to_string(getpid()) + "-" + std::to_string(counter++);
  const std::string cmd = std::string(VT_EXE) + " dissect " + args + " 2>" + err_file;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 65536> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  const int status = pclose(p);
  std::ifstream in(err_file);
  std::stringstream err;
  err << in.rdbuf();
  std::filesystem::remove(err_file);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, err.str()};
}

std::string Quote(const std::string& path) {
  return "'" + path + "'";
}

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(VT_SOURCE_DIR) + "/tests/core/golden/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string kGolden = std::string(VT_SOURCE_DIR) + "/tests/core/golden/";
const std::string kCorpus = std::string(VT_CORPUS_DIR) + "/";

TEST(DissectCommand, PrintsTheTreeOfAFramesetPage) {
  Outcome r = Dissect(Quote(kGolden + "frames/index.html"));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, Golden("frames.txt"));
}

TEST(DissectCommand, MatchesTheGoldenOutputOfCorpusPages) {
  Outcome text = Dissect(Quote(kCorpus + "table-style-attributes.html"));
  EXPECT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out, Golden("table-style-attributes.txt"));
  Outcome json = Dissect("--json " + Quote(kCorpus + "001.html"));
  EXPECT_EQ(json.exit_code, 0) << json.err;
  EXPECT_EQ(json.out, Golden("001.json"));
}

TEST(DissectCommand, JsonListsEveryEntryWithItsPosition) {
  Outcome r = Dissect(Quote(kGolden + "frames/index.html") + " --json");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"status\":0,\"statusText\":\"Parsing complete.\",\"entryCount\":18,"
                        "\"tree\":[{\"text\":\"Frame 1 (top)\",\"image\":3,\"value\":0,",
                        0),
            0u);
  EXPECT_NE(r.out.find("{\"position\":18,\"frame\":2,\"table\":0,\"row\":0,\"col\":0,\"image\":3,"
                       "\"link\":0,\"sourceIndex\":"),
            std::string::npos);
  EXPECT_EQ(r.out.find("\"position\":19"), std::string::npos);
}

TEST(DissectCommand, FailsClearlyWhenThePageCannotBeRead) {
  Outcome missing = Dissect(Quote(kGolden + "no-such-page.html"));
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());
  Outcome usage = Dissect("");
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("Usage: vellumtrace dissect PAGE [--json]"), std::string::npos);
  Outcome extra = Dissect("a.html b.html");
  EXPECT_EQ(extra.exit_code, 2);
}

// Only a page that loaded is dissected. A page the browser could not load would show its error
// page, which is no page of the user's: the command says what happened and exits 1.
TEST(DissectCommand, APageThatDidNotLoadIsAFailureThatSaysWhy) {
  TestServer server;
  server.server().Get("/missing", [](const httplib::Request&, httplib::Response& r) {
    r.status = 404;
    r.set_content("<title>Not here</title><table><tr><td>x</td></tr></table>", "text/html");
  });
  // Announces more than the browser takes; the fetch ends at the announcement.
  server.server().Get("/huge", [](const httplib::Request&, httplib::Response& r) {
    r.set_content_provider(
        std::size_t{40} << 20, "text/html",
        [](std::size_t, std::size_t, httplib::DataSink& sink) { return sink.write("<p>", 3); });
  });
  server.server().Get("/frames", [&](const httplib::Request&, httplib::Response& r) {
    r.set_content("<frameset><frame name=a src=\"/missing\"></frameset>", "text/html");
  });
  RefusingPort refusing;
  SilentPort silent;
  struct Case {
    std::string args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {Quote(server.Url("/missing")),
       "vellumtrace dissect: '" + server.Url("/missing") +
           "' could not be loaded: The server answered 404 Not Found.\n"},
      {Quote(server.Url("/huge")),
       "' could not be loaded: The page is larger than 33554432 bytes."},
      {Quote(refusing.Url("/")), "' could not be loaded: The server refused the connection."},
      {"--timeout 1 " + Quote(silent.Url("/")),
       "' could not be loaded: The server did not answer in time."},
  };
  for (const Case& c : cases) {
    Outcome r = Dissect(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.args;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
  // A frame that did not load leaves its page loaded.
  Outcome frames = Dissect(Quote(server.Url("/frames")));
  EXPECT_EQ(frames.exit_code, 0) << frames.err;
  EXPECT_EQ(frames.out, "Frame 1 (a)\nParsing complete.\n");
  Outcome bad = Dissect("--timeout 0 " + Quote(server.Url("/missing")));
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("--timeout wants a whole number of seconds"), std::string::npos);
}

TEST(DissectCommand, ExitsZeroOnEveryCorpusPage) {
  std::vector<std::string> pages;
  for (const auto& e : std::filesystem::directory_iterator(VT_CORPUS_DIR)) {
    if (e.is_regular_file()) pages.push_back(e.path().string());
  }
  std::sort(pages.begin(), pages.end());
  ASSERT_GE(pages.size(), 100u);
  // Pages that wait on unreachable frames spend their time idle: run a few at once.
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::vector<std::string> failures;
  auto worker = [&] {
    for (std::size_t i = next++; i < pages.size(); i = next++) {
      Outcome r = Dissect(Quote(pages[i]));
      bool ok = r.exit_code == 0 && r.out.size() > 1 && r.out.back() == '\n';
      if (!ok) {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back(pages[i] + " exit " + std::to_string(r.exit_code) + ": " + r.err);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) threads.emplace_back(worker);
  for (auto& t : threads) t.join();
  for (const auto& f : failures) ADD_FAILURE() << f;
}

}  // namespace
