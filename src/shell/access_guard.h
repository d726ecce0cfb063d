#pragma once
// Who may talk to the display server. Every request must name the server in its Host header
// (127.0.0.1:PORT or localhost:PORT, so a page elsewhere cannot reach it by DNS rebinding) and
// carry the run's token, either in the "token" query value of the printed address or in the cookie
// that the first such request sets. Pure functions of the request's parts; safe on any thread.
#include <optional>
#include <string>
#include <string_view>

namespace vt::shell {

// A fresh random token of 32 lower-case hex digits (128 bits from the system's random source).
std::string MakeToken();

enum class Access {
  kAllowed,           // Host and cookie are right.
  kAllowedSetCookie,  // Host is right and the query carried the token: set the cookie.
  kBadHost,           // 421: the request does not name this server.
  kBadOrigin,         // 403: a state-changing request from another origin.
  kNoToken,           // 401: no token or a wrong one.
};

class AccessGuard {
 public:
  AccessGuard(std::string token, int port);

  const std::string& Token() const { return token_; }
  int Port() const { return port_; }
  // Name of the cookie; it carries the port because cookies do not tell ports apart.
  std::string CookieName() const;
  // The Set-Cookie header value for this run.
  std::string CookieHeader() const;

  bool HostAllowed(std::string_view host) const;
  // Origin is empty when the request sent none (a plain navigation or same-origin GET).
  bool OriginAllowed(std::string_view origin) const;

  // host: the Host header; origin: the Origin header ("" when absent); cookie: the Cookie header;
  // query_token: the "token" query value when present.
  Access Check(std::string_view host, std::string_view origin, std::string_view cookie,
               const std::optional<std::string>& query_token) const;

 private:
  bool TokenMatches(std::string_view candidate) const;

  std::string token_;
  int port_;
};

// The value of cookie `name` in a Cookie header ("a=1; b=2"); nullopt when absent.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);

}  // namespace vt::shell
