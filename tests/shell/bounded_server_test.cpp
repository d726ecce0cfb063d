// The server's own bounds over real loopback sockets: oversized heads are refused before they end,
// requests that share a connection are each answered, and idle clients cannot lock others out.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "shell/bounded_server.h"

namespace vt::shell {
namespace {

class BoundedServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("hello", "text/plain");
    });
    server_.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.body, "text/plain");
    });
    for (port_ = 18590; port_ < 18690 && !server_.BindTo("127.0.0.1", port_); ++port_) {
    }
    ASSERT_LT(port_, 18690);
    listener_ = std::thread([this] { server_.Listen(); });
  }
  void TearDown() override {
    server_.Shutdown();
    listener_.join();
  }

  int Connect() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    ::inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
  }
  static void Send(int fd, const std::string& text) {
    ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(text.size()));
  }
  // Everything the server sends until it closes the connection or `ms` pass in silence.
  static std::string Receive(int fd, int ms = 3000) {
    std::string got;
    char buf[4096];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) return got;
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return got;
      got.append(buf, static_cast<size_t>(n));
    }
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  BoundedServer server_;
  std::thread listener_;
  int port_ = 0;
};

TEST_F(BoundedServerTest, HeadsOverTheBoundsAreRefusedBeforeTheyEnd) {
  // Too many lines: the answer comes while the head is still open, and the connection closes.
  int many = Connect();
  std::string head = "GET /hello HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 150; ++i) head += "X-Filler: " + std::to_string(i) + "\r\n";
  Send(many, head);
  std::string answer = Receive(many);
  EXPECT_EQ(answer.rfind("HTTP/1.1 431 Request Header Fields Too Large\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("at most 100 lines of 8 KB"), std::string::npos);
  ::close(many);

  // One line longer than 8 KB, never ended.
  int wide = Connect();
  Send(wide, "GET /hello HTTP/1.1\r\nX-Wide: " + std::string(9000, 'a'));
  EXPECT_EQ(Receive(wide).rfind("HTTP/1.1 431 ", 0), 0u);
  ::close(wide);

  // A head at the bounds still passes.
  int fits = Connect();
  std::string full = "GET /hello HTTP/1.1\r\nHost: x\r\nX-Wide: " + std::string(8000, 'b') + "\r\n";
  for (int i = 0; i < 96; ++i) full += "X-Filler: 1\r\n";  // 100 lines with the request line
  Send(fits, full + "Connection: close\r\n\r\n");
  std::string ok = Receive(fits);
  EXPECT_EQ(ok.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << ok.substr(0, 80);
  EXPECT_EQ(ok.substr(ok.size() - 5), "hello");
  ::close(fits);
}

TEST_F(BoundedServerTest, RequestsSentTogetherOnOneConnectionAreEachAnswered) {
  int fd = Connect();
  Send(fd,
       "POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nfirst"
       "GET /hello HTTP/1.1\r\nHost: x\r\n\r\n"
       "POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\nConnection: close\r\n\r\nlast");
  std::string answers = Receive(fd);
  EXPECT_EQ(Count(answers, "HTTP/1.1 200 OK\r\n"), 3u) << answers;
  size_t first = answers.find("first"), hello = answers.find("hello"), last = answers.find("last");
  ASSERT_NE(last, std::string::npos);
  EXPECT_LT(first, hello);
  EXPECT_LT(hello, last);
  ::close(fd);
}

TEST_F(BoundedServerTest, IdleAndHalfSentConnectionsCannotLockOutAWholeRequest) {
  std::vector<int> idle;
  for (size_t i = 0; i < BoundedServer::kMaxConnections + 40; ++i) {
    idle.push_back(Connect());
    if (i % 2) Send(idle.back(), "GET /hello HTTP/1.1\r\n");  // half a head, never finished
  }
  int fd = Connect();
  Send(fd, "GET /hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  std::string answer = Receive(fd);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  ::close(fd);
  for (int s : idle) ::close(s);
}

}  // namespace
}  // namespace vt::shell
