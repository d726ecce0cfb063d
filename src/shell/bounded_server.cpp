#include "shell/bounded_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vt::shell {
namespace {

using Clock = std::chrono::steady_clock;

int MillisUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

// Waits for `events` on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, MillisUntil(deadline));
    if (n > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

bool SendAll(int fd, const char* data, size_t size, Clock::time_point deadline) {
  while (size > 0) {
    if (!WaitFor(fd, POLLOUT, deadline)) return false;
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void SendPlain(int fd, int status, const char* reason, const std::string& text) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                    "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                    "Content-Length: " +
                    std::to_string(text.size()) + "\r\n\r\n" + text;
  SendAll(fd, out.data(), out.size(), Clock::now() + std::chrono::seconds(1));
  // Closing with unread input would reset the connection and could drop the answer before the
  // client reads it: end our side, then take in (and drop) what still comes, for a moment.
  ::shutdown(fd, SHUT_WR);
  auto until = Clock::now() + std::chrono::seconds(1);
  char sink[16 * 1024];
  for (size_t dropped = 0; dropped < (4u << 20) && WaitFor(fd, POLLIN, until);) {
    ssize_t n = ::recv(fd, sink, sizeof sink, 0);
    if (n <= 0) break;
    dropped += static_cast<size_t>(n);
  }
}

void AddressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len)
                : ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  if (rc != 0) return;
  char text[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    auto* in = reinterpret_cast<sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    auto* in = reinterpret_cast<sockaddr_in6*>(&addr);
    ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
    port = ntohs(in->sin6_port);
  }
  ip = text;
}

enum class Head { kComplete, kClosed, kTooLarge, kTimedOut };

// Reads from fd into `pending` until it holds a whole request head (ending in an empty line),
// within the bounds of BoundedServer. Bytes after the head stay in `pending` for the library.
Head ReadHead(int fd, std::string& pending, Clock::time_point idle_deadline) {
  size_t scanned = 0, line_start = 0, lines = 0;
  Clock::time_point deadline =
      pending.empty() ? idle_deadline
                      : Clock::now() + std::chrono::seconds(BoundedServer::kHeadSeconds);
  char buf[16 * 1024];
  for (;;) {
    for (; scanned < pending.size(); ++scanned) {
      if (pending[scanned] != '\n') continue;
      size_t length = scanned - line_start;
      if (length > 0 && pending[scanned - 1] == '\r') --length;
      if (length > BoundedServer::kMaxLineBytes) return Head::kTooLarge;
      ++lines;
      line_start = scanned + 1;
      if (length == 0 && lines > 1) return Head::kComplete;
      if (lines > BoundedServer::kMaxHeadLines) return Head::kTooLarge;
    }
    if (scanned - line_start > BoundedServer::kMaxLineBytes ||
        scanned > BoundedServer::kMaxHeadBytes)
      return Head::kTooLarge;
    if (!WaitFor(fd, POLLIN, deadline)) return pending.empty() ? Head::kClosed : Head::kTimedOut;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return Head::kClosed;
    if (pending.empty())
      deadline = Clock::now() + std::chrono::seconds(BoundedServer::kHeadSeconds);
    pending.append(buf, static_cast<size_t>(n));
  }
}

// The library's view of one request on a connection: the bytes already read first, then the
// socket, each read and write bounded in time.
class PrefixedStream : public httplib::Stream {
 public:
  PrefixedStream(int fd, std::string& pending, Clock::time_point deadline)
      : fd_(fd), pending_(pending), deadline_(deadline) {}

  bool is_readable() const override { return !pending_.empty() || WaitFor(fd_, POLLIN, Step()); }
  bool is_writable() const override { return WaitFor(fd_, POLLOUT, Step()); }

  ssize_t read(char* ptr, size_t size) override {
    if (!pending_.empty()) {
      size_t n = std::min(size, pending_.size());
      std::memcpy(ptr, pending_.data(), n);
      pending_.erase(0, n);
      return static_cast<ssize_t>(n);
    }
    for (;;) {
      if (!WaitFor(fd_, POLLIN, std::min(Step(), deadline_))) return -1;
      ssize_t n = ::recv(fd_, ptr, size, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return n;
    }
  }

  ssize_t write(const char* ptr, size_t size) override {
    return SendAll(fd_, ptr, size, Step()) ? static_cast<ssize_t>(size) : -1;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, false, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  static Clock::time_point Step() {
    return Clock::now() + std::chrono::seconds(BoundedServer::kIoSeconds);
  }
  int fd_;
  std::string& pending_;
  Clock::time_point deadline_;
};

}  // namespace

struct BoundedServer::Connection {
  int fd = -1;  // guarded by the server's mutex once the thread runs
  std::thread thread;
  std::atomic<bool> waiting{true};  // between requests or inside a head
  std::atomic<bool> done{false};
  bool evicted = false;
  Clock::time_point since = Clock::now();
};

BoundedServer::~BoundedServer() {
  Shutdown();
  Reap(true);
  if (listen_fd_ >= 0) ::close(listen_fd_);
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool BoundedServer::BindTo(const std::string& host, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 128) != 0) {
    ::close(fd);
    return false;
  }
  if (::pipe2(wake_, O_CLOEXEC) != 0) {
    ::close(fd);
    return false;
  }
  listen_fd_ = fd;
  svr_sock_ = fd;  // the library ends its chunked answers when this turns invalid
  return true;
}

void BoundedServer::Listen() {
  if (listen_fd_ < 0) return;
  listening_ = true;
  while (!stopping_) {
    pollfd p[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int n = ::poll(p, 2, 1000);
    if (stopping_) break;
    Reap(false);
    if (n <= 0 || !(p[0].revents & POLLIN)) continue;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);  // small inputs must not wait
    std::lock_guard<std::mutex> lock(mutex_);
    if (!MakeRoom()) {
      SendPlain(fd, 503, "Service Unavailable", "Too many connections; try again.\n");
      ::close(fd);
      continue;
    }
    auto c = std::make_shared<Connection>();
    c->fd = fd;
    connections_.push_back(c);
    c->thread = std::thread([this, c] { Serve(c); });
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : connections_)
      if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
  Reap(true);
  listening_ = false;
}

void BoundedServer::Shutdown() {
  if (stopping_.exchange(true)) return;
  svr_sock_ = INVALID_SOCKET;
  if (wake_[1] >= 0) {
    char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& c : connections_)
    if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
}

// Called with the mutex held: true when a new connection may be taken, after closing the
// longest-waiting connection without a whole head if every place is taken.
bool BoundedServer::MakeRoom() {
  size_t live = 0;
  std::shared_ptr<Connection> oldest;
  for (auto& c : connections_) {
    if (c->done || c->evicted) continue;
    ++live;
    if (c->waiting && (!oldest || c->since < oldest->since)) oldest = c;
  }
  if (live < kMaxConnections) return true;
  if (!oldest) return false;
  oldest->evicted = true;
  if (oldest->fd >= 0) ::shutdown(oldest->fd, SHUT_RDWR);
  return true;
}

void BoundedServer::Reap(bool all) {
  std::vector<std::shared_ptr<Connection>> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (all || (*it)->done) {
        ended.push_back(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : ended)
    if (c->thread.joinable()) c->thread.join();
}

void BoundedServer::Serve(const std::shared_ptr<Connection>& c) {
  const int fd = c->fd;
  std::string pending;
  for (size_t served = 0; served < kMaxRequestsPerConnection && !stopping_; ++served) {
    c->waiting = true;
    Head head = ReadHead(fd, pending, Clock::now() + std::chrono::seconds(kIdleSeconds));
    if (head == Head::kTooLarge) {
      SendPlain(fd, 431, "Request Header Fields Too Large",
                "The request head is too large: at most 100 lines of 8 KB, 64 KB in all.\n");
      break;
    }
    if (head == Head::kTimedOut) {
      SendPlain(fd, 408, "Request Timeout", "The request head did not arrive in time.\n");
      break;
    }
    if (head != Head::kComplete) break;
    c->waiting = false;
    PrefixedStream stream(fd, pending, Clock::now() + std::chrono::seconds(3 * kHeadSeconds));
    bool closed = false;
    bool last = served + 1 == kMaxRequestsPerConnection || stopping_;
    if (!process_request(stream, last, closed, nullptr) || closed) break;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      c->since = Clock::now();
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ::shutdown(c->fd, SHUT_RDWR);
  ::close(c->fd);
  c->fd = -1;
  c->done = true;
}

}  // namespace vt::shell
