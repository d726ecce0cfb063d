#include "shell/served_files.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/text/escape.h"

namespace vt::shell {
namespace fs = std::filesystem;
namespace {

bool IsInside(const fs::path& file, const fs::path& root) {
  auto f = file.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++f) {
    if (r->empty()) continue;  // the trailing "" of "/a/b/"
    if (f == file.end() || *f != *r) return false;
  }
  return f != file.end();
}

// The real path of an absolute request naming a regular file, links resolved; none otherwise.
std::optional<fs::path> RealRegularFile(const fs::path& requested) {
  if (!requested.is_absolute()) return std::nullopt;
  std::error_code ec;
  fs::path real = fs::canonical(requested, ec);
  if (ec || !fs::is_regular_file(real, ec) || ec) return std::nullopt;
  return real;
}

}  // namespace

std::optional<fs::path> ResolveServedFile(const fs::path& requested,
                                          const std::vector<fs::path>& roots) {
  const std::optional<fs::path> real = RealRegularFile(requested);
  if (!real) return std::nullopt;
  std::error_code ec;
  for (const auto& root : roots) {
    if (root.empty()) continue;
    fs::path real_root = fs::canonical(root, ec);
    if (ec || !fs::is_directory(real_root, ec)) continue;
    if (IsInside(*real, real_root)) return real;
  }
  return std::nullopt;
}

std::optional<fs::path> ResolveNamedFile(const fs::path& requested,
                                         const std::vector<fs::path>& files) {
  const std::optional<fs::path> real = RealRegularFile(requested);
  if (!real) return std::nullopt;
  std::error_code ec;
  for (const auto& file : files) {
    if (file.empty() || !file.is_absolute()) continue;
    if (fs::canonical(file, ec) == *real && !ec) return real;
  }
  return std::nullopt;
}

std::optional<fs::path> ResolveUnder(const fs::path& root, std::string_view relative) {
  if (relative.find('\0') != std::string_view::npos) return std::nullopt;
  while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
  if (relative.empty()) return std::nullopt;
  std::error_code ec;
  fs::path real_root = fs::canonical(root, ec);
  if (ec) return std::nullopt;
  return ResolveServedFile(real_root / fs::path(std::string(relative)), {real_root});
}

std::optional<fs::path> FileUrlToPath(std::string_view url) {
  constexpr std::string_view kScheme = "file://";
  if (url.size() < kScheme.size()) return std::nullopt;
  std::string lower(url.substr(0, kScheme.size()));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower != kScheme) return std::nullopt;
  std::string_view rest = url.substr(kScheme.size());
  if (rest.substr(0, 9) == "localhost") rest.remove_prefix(9);
  if (rest.empty() || rest.front() != '/') return std::nullopt;
  rest = rest.substr(0, rest.find_first_of("?#"));
  std::string decoded = text::PercentDecode(rest);
  if (decoded.find('\0') != std::string::npos) return std::nullopt;
  return fs::path(decoded);
}

std::string PercentEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string ContentTypeOf(const fs::path& file) {
  static const std::map<std::string, std::string> kTypes = {
      {".html", "text/html; charset=utf-8"},
      {".htm", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".gif", "image/gif"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".webp", "image/webp"},
      {".ico", "image/x-icon"},
      {".bmp", "image/bmp"},
      {".txt", "text/plain; charset=utf-8"},
  };
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto it = kTypes.find(ext);
  return it == kTypes.end() ? "application/octet-stream" : it->second;
}

}  // namespace vt::shell
