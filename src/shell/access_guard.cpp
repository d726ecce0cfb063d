#include "shell/access_guard.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace vt::shell {
namespace {

// Constant time in the candidate's content, so the comparison leaks nothing through timing.
bool SameSecret(std::string_view candidate, std::string_view secret) {
  if (candidate.size() != secret.size() || secret.empty()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < secret.size(); ++i)
    diff |= static_cast<unsigned char>(candidate[i] ^ secret[i]);
  return diff == 0;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
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

std::string Grants::For(std::string_view resource) {
  std::lock_guard lock(mutex_);
  auto it = grants_.find(resource);
  if (it != grants_.end()) return it->second;
  return grants_.emplace(std::string(resource), MakeToken()).first->second;
}

bool Grants::Allows(std::string_view resource, std::string_view grant) const {
  std::lock_guard lock(mutex_);
  auto it = grants_.find(resource);
  return it != grants_.end() && SameSecret(grant, it->second);
}

AccessGuard::AccessGuard(std::string token, int port) : token_(std::move(token)), port_(port) {
  if (token_.size() < 16) throw std::invalid_argument("display token too short");
}

bool AccessGuard::HostAllowed(std::string_view host) const {
  const std::string port = ":" + std::to_string(port_);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool AccessGuard::OriginAllowed(std::string_view origin) const {
  if (origin.empty()) return true;
  constexpr std::string_view kScheme = "http://";
  return StartsWith(origin, kScheme) && HostAllowed(origin.substr(kScheme.size()));
}

bool AccessGuard::TokenMatches(std::string_view candidate) const {
  return SameSecret(candidate, token_);
}

bool AccessGuard::IsPublicPath(std::string_view path) {
  return !(StartsWith(path, "/api/") || StartsWith(path, "/mirror/") || path == "/file" ||
           StartsWith(path, "/file/"));
}

Access AccessGuard::Check(std::string_view path, std::string_view host, std::string_view origin,
                          std::string_view header_token, std::string_view resource,
                          std::string_view grant) const {
  if (!HostAllowed(host)) return Access::kBadHost;
  if (!OriginAllowed(origin)) return Access::kBadOrigin;
  if (IsPublicPath(path)) return Access::kAllowed;
  if (TokenMatches(header_token)) return Access::kAllowed;
  if (!resource.empty() && grants_.Allows(resource, grant)) return Access::kAllowed;
  return Access::kNoToken;
}

}  // namespace vt::shell
