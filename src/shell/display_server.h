#pragma once
// The display server: HTTP on 127.0.0.1 only. It serves the display's own files (web/), the state
// of the windows and their controls, a stream of changes (server-sent events), the mirrors of the
// shown documents and the files of the program and cache folders; it takes the display's input
// and hands it to the UI thread. Every request passes the AccessGuard first.
//
// Threads: Start and Stop on the owner's thread (the UI thread in the program); requests run on the
// server's own threads and reach the backend only through UiThread::Run.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/access_guard.h"
#include "shell/event_hub.h"
#include "shell/ui_thread.h"

namespace vt::shell {

class BoundedServer;

// Addresses of the resources a mirror loads from the display server, each with its grant (see
// AccessGuard), absolute, so that they do not depend on the base the mirror writes.
struct MirrorLinks {
  std::function<std::string(int browser_id)> mirror;  // "http://127.0.0.1:P/mirror/3?grant=..."
  std::function<std::string(const std::string& path)>
      file;  // "http://127.0.0.1:P/file?path=...&grant=..."
};

// What the server asks of the system. Every call runs on the UI thread.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // The whole state the display draws (JSON object).
  virtual std::string StateJson() = 0;
  // One input of the display (JSON object); answers a JSON object.
  virtual std::string HandleInput(const std::string& json) = 0;
  // The mirror page of the document shown by browser `browser_id`; nullopt when there is none.
  virtual std::optional<std::string> MirrorHtml(int browser_id) = 0;
  // How mirrors name what they load from the server; given once the server listens, before any
  // request is served.
  virtual void SetMirrorLinks(MirrorLinks links) { (void)links; }
  // The folders whose files may be served (the program and cache folders).
  virtual std::vector<std::filesystem::path> FileRoots() = 0;
  // Single files that may be served wherever they lie (the icons the registered tool-bar buttons
  // name), checked as carefully as the files of the roots.
  virtual std::vector<std::filesystem::path> ServedFiles() { return {}; }
  // Diagnostics for tests, reached only when the server runs with debug routes on.
  virtual std::string Debug(const std::string& what, const std::string& body) = 0;
};

struct ServerOptions {
  int port = 8470;
  bool next_free_port = true;  // try the following ports when `port` is taken
  std::filesystem::path web_dir;
  std::string token;          // empty: a fresh random one
  bool debug_routes = false;  // /api/debug/...
};

class DisplayServer {
 public:
  DisplayServer(ServerOptions options, UiThread& ui, DisplayBackend& backend, EventHub& hub);
  ~DisplayServer();
  DisplayServer(const DisplayServer&) = delete;
  DisplayServer& operator=(const DisplayServer&) = delete;

  // Binds 127.0.0.1 and starts serving; answers the port. Throws std::runtime_error when no port
  // could be bound.
  int Start();
  // Ends the event streams and stops serving; waits for the server's threads. Idempotent.
  void Stop();

  int Port() const { return port_; }
  const std::string& Token() const { return guard_ ? guard_->Token() : options_.token; }
  // The address to open: http://127.0.0.1:PORT/?token=...
  std::string Address() const;

 private:
  void Routes();
  // "/mirror/3?grant=...": the mirror of a browser object, with its grant.
  std::string MirrorPath(int browser_id);

  ServerOptions options_;
  UiThread& ui_;
  DisplayBackend& backend_;
  EventHub& hub_;
  std::unique_ptr<BoundedServer> server_;
  std::optional<AccessGuard> guard_;
  std::thread listener_;
  int port_ = 0;
};

// The web/ folder of the display: $VT_WEB_DIR, then web/ and ../share/vellumtrace/web beside the
// executable, then the source tree's web/. Empty when none holds an index.html.
std::filesystem::path FindWebDir();

}  // namespace vt::shell
