#pragma once
// Who may talk to the display server. Every request must name the server in its Host header
// (127.0.0.1:PORT or localhost:PORT, so a page elsewhere cannot reach it by DNS rebinding).
//
// The run's token never travels in a cookie: cookies do not tell ports apart, so every other
// server on 127.0.0.1 would receive it, and could set one of the same name to lock the display
// out. The display's scripts keep the token (from the printed address) in the page and send it
// in the X-Vellumtrace-Token header of every request to /api/. What a page view loads without
// scripts (a mirror, a local file) carries a grant in its address instead: a random value that
// opens that one resource and nothing else. The display's own files (web/) hold nothing private
// and need no token. Pure functions of the request's parts and a locked table; safe on any thread.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vt::shell {

// A fresh random token of 32 lower-case hex digits (128 bits from the system's random source).
std::string MakeToken();

inline constexpr const char* kTokenHeader = "X-Vellumtrace-Token";

enum class Access {
  kAllowed,
  kBadHost,    // 421: the request does not name this server.
  kBadOrigin,  // 403: a request from another origin.
  kNoToken,    // 401: no token or grant, or a wrong one.
};

// Grants to single resources ("mirror/3", "file:/abs/path"): the same resource keeps its grant
// for the run, so the browser's cache and repeated loads keep working.
class Grants {
 public:
  // The grant of `resource`, made on first use.
  std::string For(std::string_view resource);
  bool Allows(std::string_view resource, std::string_view grant) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string, std::less<>> grants_;
};

class AccessGuard {
 public:
  AccessGuard(std::string token, int port);

  const std::string& Token() const { return token_; }
  int Port() const { return port_; }
  Grants& grants() { return grants_; }

  bool HostAllowed(std::string_view host) const;
  // Origin is empty when the request sent none (a plain navigation or same-origin GET).
  bool OriginAllowed(std::string_view origin) const;
  bool TokenMatches(std::string_view candidate) const;

  // A request for one of the display's own files (anything outside /api/, /mirror/ and /file).
  static bool IsPublicPath(std::string_view path);

  // host: the Host header; origin: the Origin header ("" when absent); header_token: the
  // X-Vellumtrace-Token header ("" when absent); resource and grant: what the address asks for
  // and the grant it carries ("" when it carries none).
  Access Check(std::string_view path, std::string_view host, std::string_view origin,
               std::string_view header_token, std::string_view resource = {},
               std::string_view grant = {}) const;

 private:
  std::string token_;
  int port_;
  Grants grants_;
};

}  // namespace vt::shell
