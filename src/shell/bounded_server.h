// The display's HTTP server with limits the library alone cannot keep: this class owns the
// listening socket and every connection, reads each request head itself under hard bounds, and
// only then hands the request to the library's routing.
//
// Bounds (a client on the same machine may be hostile until it shows the token):
//  - a request head of at most kMaxHeadLines lines, kMaxLineBytes per line and kMaxHeadBytes in
//    all; more is answered 431 and the connection closed, before anything more is kept;
//  - one deadline for the whole head; a connection silent for kIdleSeconds between requests is
//    closed;
//  - at most kMaxConnections connections. When they are all taken, the connection that has waited
//    longest without sending a whole head is closed to make room, so idle or slow clients cannot
//    lock out the display.
// Each connection runs on a thread of its own, so a long event stream holds no shared worker.
//
// Threads: Listen() blocks its caller (the listener thread); Shutdown() may be called from any
// thread, closes every connection and returns once every connection thread has ended.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vt::shell {

class BoundedServer : public httplib::Server {
 public:
  static constexpr size_t kMaxHeadLines = 100;
  static constexpr size_t kMaxLineBytes = 8192;
  static constexpr size_t kMaxHeadBytes = 64 * 1024;
  static constexpr int kHeadSeconds = 10;
  static constexpr int kIdleSeconds = 5;
  static constexpr int kIoSeconds = 5;
  static constexpr size_t kMaxConnections = 96;
  static constexpr size_t kMaxRequestsPerConnection = 1000;

  BoundedServer() = default;
  ~BoundedServer() override;

  // Binds host:port with SO_REUSEADDR (never SO_REUSEPORT, so a taken port is noticed). False when
  // the port is taken or the socket cannot be made.
  bool BindTo(const std::string& host, int port);
  // Accepts and serves until Shutdown(). Returns at once when nothing is bound.
  void Listen();
  bool Listening() const { return listening_.load(); }
  void Shutdown();

 private:
  struct Connection;
  void Serve(const std::shared_ptr<Connection>& c);
  bool MakeRoom();
  void Reap(bool all);

  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};  // a pipe that ends the accept loop
  std::atomic<bool> listening_{false};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::list<std::shared_ptr<Connection>> connections_;
};

}  // namespace vt::shell
