#include "shell/access_guard.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace vt::shell {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string MakeToken() {
  unsigned char bytes[16];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    std::random_device device;  // falls back to the library's own source
    for (auto& b : bytes) b = static_cast<unsigned char>(device());
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

AccessGuard::AccessGuard(std::string token, int port) : token_(std::move(token)), port_(port) {
  if (token_.size() < 16) throw std::invalid_argument("display token too short");
}

std::string AccessGuard::CookieName() const {
  return "vt_token_" + std::to_string(port_);
}

std::string AccessGuard::CookieHeader() const {
  return CookieName() + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

bool AccessGuard::HostAllowed(std::string_view host) const {
  const std::string port = ":" + std::to_string(port_);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool AccessGuard::OriginAllowed(std::string_view origin) const {
  if (origin.empty()) return true;
  for (std::string_view scheme : {"http://"}) {
    if (origin.substr(0, scheme.size()) == scheme && HostAllowed(origin.substr(scheme.size())))
      return true;
  }
  return false;
}

bool AccessGuard::TokenMatches(std::string_view candidate) const {
  // Constant time in the candidate's content, so the comparison leaks nothing through timing.
  if (candidate.size() != token_.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < token_.size(); ++i)
    diff |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
  return diff == 0;
}

Access AccessGuard::Check(std::string_view host, std::string_view origin, std::string_view cookie,
                          const std::optional<std::string>& query_token) const {
  if (!HostAllowed(host)) return Access::kBadHost;
  if (!OriginAllowed(origin)) return Access::kBadOrigin;
  if (auto value = CookieValue(cookie, CookieName()); value && TokenMatches(*value))
    return Access::kAllowed;
  if (query_token && TokenMatches(*query_token)) return Access::kAllowedSetCookie;
  return Access::kNoToken;
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    size_t end = header.find(';');
    std::string_view pair = Trim(header.substr(0, end));
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) continue;
    if (Trim(pair.substr(0, eq)) == name) return std::string(Trim(pair.substr(eq + 1)));
  }
  return std::nullopt;
}

}  // namespace vt::shell
