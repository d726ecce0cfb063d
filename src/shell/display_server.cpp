#include "shell/display_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "shell/bounded_server.h"
#include "shell/served_files.h"

#ifndef VT_WEB_SOURCE_DIR
#define VT_WEB_SOURCE_DIR ""
#endif

namespace vt::shell {
namespace fs = std::filesystem;
namespace {

constexpr int kPortsTried = 100;
// The largest request body taken (the display's inputs are small JSON objects); more is refused
// with 413 before it is kept.
constexpr size_t kMaxBody = 1 << 20;
constexpr auto kStreamWait = std::chrono::seconds(15);

// The display itself: its own scripts only; pictures of pages from anywhere.
constexpr const char* kDisplayPolicy =
    "default-src 'self'; script-src 'self'; connect-src 'self'; frame-src 'self'; "
    "img-src * data: blob:; style-src 'self' 'unsafe-inline'; font-src * data:; "
    "object-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'self'";
// A mirrored page: its look loads as on the web, but none of its scripts, plug-ins or forms run,
// and it embeds nothing but other mirrors.
constexpr const char* kMirrorPolicy =
    "default-src * data: blob:; script-src 'none'; object-src 'none'; form-action 'none'; "
    "frame-src 'self'; child-src 'self'; worker-src 'none'; style-src * data: 'unsafe-inline'; "
    "frame-ancestors 'self'";
// Files of the program and cache folders: shown, never run.
constexpr const char* kFilePolicy =
    "default-src 'none'; img-src * data:; style-src * 'unsafe-inline'; sandbox";

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void SendText(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text, "text/plain; charset=utf-8");
}

void SendFile(httplib::Response& res, const fs::path& file, const char* policy) {
  auto body = ReadWholeFile(file);
  if (!body) return SendText(res, 404, "Not found\n");
  res.set_header("Content-Security-Policy", policy);
  res.set_header("Cache-Control", "no-cache");
  res.set_content(std::move(*body), ContentTypeOf(file).c_str());
}

bool HasIndex(const fs::path& dir) {
  std::error_code ec;
  return !dir.empty() && fs::is_regular_file(dir / "index.html", ec);
}

fs::path ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

}  // namespace

fs::path FindWebDir() {
  if (const char* env = std::getenv("VT_WEB_DIR"); env && HasIndex(env)) return env;
  fs::path exe_dir = ExecutableDir();
  for (fs::path candidate : {exe_dir / "web", exe_dir / ".." / "share" / "vellumtrace" / "web",
                             fs::path(VT_WEB_SOURCE_DIR)}) {
    if (HasIndex(candidate)) {
      std::error_code ec;
      fs::path real = fs::canonical(candidate, ec);
      return ec ? candidate : real;
    }
  }
  return {};
}

DisplayServer::DisplayServer(ServerOptions options, UiThread& ui, DisplayBackend& backend,
                             EventHub& hub)
    : options_(std::move(options)),
      ui_(ui),
      backend_(backend),
      hub_(hub),
      server_(std::make_unique<BoundedServer>()) {
  if (options_.token.empty()) options_.token = MakeToken();
}

DisplayServer::~DisplayServer() {
  Stop();
}

std::string DisplayServer::MirrorPath(int browser_id) {
  std::string resource = "mirror/" + std::to_string(browser_id);
  return "/" + resource + "?grant=" + guard_->grants().For(resource);
}

std::string DisplayServer::Address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + Token();
}

int DisplayServer::Start() {
  if (options_.web_dir.empty()) options_.web_dir = FindWebDir();
  server_->set_keep_alive_timeout(BoundedServer::kIdleSeconds);
  server_->set_keep_alive_max_count(BoundedServer::kMaxRequestsPerConnection);
  server_->set_payload_max_length(kMaxBody);
  int tries = options_.next_free_port ? kPortsTried : 1;
  for (int i = 0; i < tries && port_ == 0; ++i) {
    int candidate = options_.port + i;
    if (candidate > 65535) break;
    if (server_->BindTo("127.0.0.1", candidate)) port_ = candidate;
  }
  if (port_ == 0)
    throw std::runtime_error("cannot listen on 127.0.0.1 port " + std::to_string(options_.port) +
                             (tries > 1 ? " or the ports after it" : ""));
  guard_.emplace(options_.token, port_);
  MirrorLinks links;
  const std::string origin = "http://127.0.0.1:" + std::to_string(port_);
  links.mirror = [this, origin](int browser_id) { return origin + MirrorPath(browser_id); };
  links.file = [this, origin](const std::string& path) {
    return origin + "/file?path=" + PercentEncode(path) +
           "&grant=" + guard_->grants().For("file:" + path);
  };
  backend_.SetMirrorLinks(std::move(links));
  Routes();
  listener_ = std::thread([this] { server_->Listen(); });
  // Return only once the accept loop runs: a stop() that came before it would be lost, and the
  // listener would then never end.
  for (int waited_ms = 0; !server_->Listening() && waited_ms < 10000; ++waited_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port_;
}

void DisplayServer::Stop() {
  hub_.Close();
  if (server_) server_->Shutdown();
  if (listener_.joinable()) listener_.join();
}

void DisplayServer::Routes() {
  httplib::Server& s = *server_;

  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    // What an address without the token may open: one mirror or one file, by its grant.
    std::string resource;
    if (req.path.rfind("/mirror/", 0) == 0) resource = req.path.substr(1);
    if (req.path == "/file") resource = "file:" + req.get_param_value("path");
    Access access =
        guard_->Check(req.path, req.get_header_value("Host"), req.get_header_value("Origin"),
                      req.get_header_value(kTokenHeader), resource, req.get_param_value("grant"));
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Content-Type-Options", "nosniff");
    switch (access) {
      case Access::kBadHost:
        SendText(res, 421, "This server answers only as 127.0.0.1 or localhost.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::kBadOrigin:
        SendText(res, 403, "Requests from other sites are refused.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::kNoToken:
        SendText(res, 401, "Open the address that 'vellumtrace run' printed.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::kAllowed:
        break;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // The address of a mirror, for the display's page view.
  s.Get(R"(/api/mirror/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
    int id = std::atoi(req.matches[1].str().c_str());
    res.set_header("Cache-Control", "no-store");
    res.set_content(nlohmann::json{{"address", MirrorPath(id)}}.dump(), "application/json");
  });

  s.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
    std::string state;
    ui_.Run([&] { state = backend_.StateJson(); });
    res.set_header("Cache-Control", "no-store");
    res.set_content(state, "application/json");
  });

  s.Post("/api/input", [this](const httplib::Request& req, httplib::Response& res) {
    std::string answer;
    try {
      ui_.Run([&] { answer = backend_.HandleInput(req.body); });
    } catch (const std::exception& e) {
      res.status = 400;
      res.set_content(nlohmann::json{{"error", e.what()}}.dump(), "application/json");
      return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(answer, "application/json");
  });

  s.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
    uint64_t since = 0;
    if (req.has_param("since"))
      since = std::strtoull(req.get_param_value("since").c_str(), nullptr, 10);
    if (auto last = req.get_header_value("Last-Event-ID"); !last.empty())
      since = std::strtoull(last.c_str(), nullptr, 10);
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Accel-Buffering", "no");
    auto cursor = std::make_shared<uint64_t>(since);
    res.set_chunked_content_provider(
        "text/event-stream", [this, cursor](size_t, httplib::DataSink& sink) {
          if (hub_.Closed() || !sink.is_writable()) {
            sink.done();
            return false;
          }
          auto events = hub_.WaitAfter(*cursor, std::chrono::milliseconds(kStreamWait));
          std::string chunk;
          if (events.empty()) {
            if (hub_.Closed()) {
              sink.done();
              return false;
            }
            chunk = ": idle\n\n";
          }
          for (const auto& e : events) {
            chunk += "id: " + std::to_string(e.seq) + "\ndata: " + e.json + "\n\n";
            *cursor = e.seq;
          }
          return sink.write(chunk.data(), chunk.size());
        });
  });

  s.Get(R"(/mirror/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
    int id = std::atoi(req.matches[1].str().c_str());
    std::optional<std::string> html;
    ui_.Run([&] { html = backend_.MirrorHtml(id); });
    if (!html) return SendText(res, 404, "No such page\n");
    res.set_header("Content-Security-Policy", kMirrorPolicy);
    res.set_header("Cache-Control", "no-store");
    res.set_content(std::move(*html), "text/html; charset=utf-8");
  });

  s.Get("/file", [this](const httplib::Request& req, httplib::Response& res) {
    std::vector<fs::path> roots, files;
    ui_.Run([&] {
      roots = backend_.FileRoots();
      files = backend_.ServedFiles();
    });
    std::optional<fs::path> file;
    if (req.has_param("path")) {
      const fs::path path = req.get_param_value("path");
      file = ResolveServedFile(path, roots);
      if (!file) file = ResolveNamedFile(path, files);
    }
    if (!file) return SendText(res, 404, "Not found\n");
    SendFile(res, *file, kFilePolicy);
  });

  if (options_.debug_routes) {
    auto debug = [this](const httplib::Request& req, httplib::Response& res) {
      std::string answer;
      std::string body = req.method == "POST" ? req.body : req.get_param_value("q");
      ui_.Run([&] { answer = backend_.Debug(req.matches[1].str(), body); });
      res.set_header("Cache-Control", "no-store");
      res.set_content(answer, "application/json");
    };
    s.Get(R"(/api/debug/([a-z_-]+))", debug);
    s.Post(R"(/api/debug/([a-z_-]+))", debug);
  }

  s.Get(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    std::string relative = req.matches[1].str();
    if (relative.empty()) relative = "index.html";
    auto file = ResolveUnder(options_.web_dir, relative);
    if (!file) return SendText(res, 404, "Not found\n");
    SendFile(res, *file, kDisplayPolicy);
  });
}

}  // namespace vt::shell
