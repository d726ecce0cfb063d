#include "platform/browser/url_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "platform/browser/url.h"

namespace vt::browser {
namespace fs = std::filesystem;
namespace {

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string HashHex(std::string_view s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static const char* kHex = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[i] = kHex[h & 15];
  return out;
}

// Writes `data` to `path` through a temporary file in the same folder, flushed before the rename.
void WriteFileAtomic(const fs::path& path, std::string_view data) {
  static std::atomic<unsigned> counter{0};
  fs::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    throw std::runtime_error("Cannot write " + tmp.string() + ": " + std::strerror(errno));
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      throw std::runtime_error("Cannot write " + tmp.string() + ": " + std::strerror(err));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    throw std::runtime_error("Cannot write " + path.string() + ": " + std::strerror(err));
  }
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

nlohmann::json ToJson(const UrlCacheEntry& e, const fs::path& folder) {
  return {{"url", e.source_url},
          {"file", fs::path(e.local_file).lexically_relative(folder).string()},
          {"headers", e.header_text},
          {"type", e.entry_type},
          {"uses", e.use_count},
          {"hits", e.hit_rate},
          {"size", e.size},
          {"modified", e.last_modified},
          {"expires", e.expire_time},
          {"access", e.last_access},
          {"sync", e.last_sync}};
}

std::optional<UrlCacheEntry> FromJson(const std::string& text, const fs::path& folder) {
  auto j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return std::nullopt;
  try {
    UrlCacheEntry e;
    e.source_url = j.at("url").get<std::string>();
    fs::path rel = j.at("file").get<std::string>();
    // Only names inside the folder are trusted, whatever the index file says.
    if (rel.empty() || rel.is_absolute()) return std::nullopt;
    for (const auto& part : rel) {
      if (part == "..") return std::nullopt;
    }
    e.local_file = (folder / rel).string();
    e.header_text = j.at("headers").get<std::string>();
    e.entry_type = j.value("type", 0u);
    e.use_count = j.value("uses", 0u);
    e.hit_rate = j.value("hits", 0u);
    e.size = j.value("size", std::uint64_t{0});
    e.last_modified = j.value("modified", std::int64_t{0});
    e.expire_time = j.value("expires", std::int64_t{0});
    e.last_access = j.value("access", std::int64_t{0});
    e.last_sync = j.value("sync", std::int64_t{0});
    std::string ext = rel.extension().string();
    e.file_extension = ext.empty() ? "" : ext.substr(1);
    return e;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::string HeaderValue(std::string_view headers, std::string_view name) {
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t end = headers.find('\n', pos);
    std::string_view line = headers.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? headers.size() : end + 1;
    if (line.size() > name.size() && line[name.size()] == ':') {
      bool same = true;
      for (size_t i = 0; i < name.size() && same; ++i) {
        same = std::tolower(static_cast<unsigned char>(line[i])) ==
               std::tolower(static_cast<unsigned char>(name[i]));
      }
      if (same) {
        std::string_view v = line.substr(name.size() + 1);
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
        while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.remove_suffix(1);
        return std::string(v);
      }
    }
  }
  return "";
}

std::string ExtensionForType(std::string_view content_type) {
  std::string type(content_type.substr(0, content_type.find(';')));
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  if (type == "text/html") return ".htm";
  if (type == "image/png") return ".png";
  if (type == "image/gif") return ".gif";
  if (type == "image/jpeg") return ".jpg";
  if (type == "text/css") return ".css";
  if (type == "text/plain") return ".txt";
  if (type == "application/javascript" || type == "text/javascript") return ".js";
  return "";
}

}  // namespace

std::string CacheFileStem(std::string_view url, std::string_view content_type) {
  std::string_view path = url.substr(0, url.find_first_of("?#"));
  if (auto scheme_end = path.find("://"); scheme_end != std::string_view::npos) {
    path = path.substr(scheme_end + 3);
    auto slash = path.find('/');
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  }
  std::string segment = PercentDecode(path.substr(path.rfind('/') + 1));
  std::string name;
  for (unsigned char c : segment) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      name += static_cast<char>(c);
    } else {
      name += '_';
    }
  }
  while (!name.empty() && name.front() == '.') name.erase(0, 1);
  if (name.size() > 64) {
    auto dot = name.rfind('.');
    std::string ext = dot != std::string::npos && name.size() - dot <= 8 ? name.substr(dot) : "";
    name = name.substr(0, 64 - ext.size()) + ext;
  }
  if (name.empty()) name = "index";
  if (fs::path(name).extension().empty()) name += ExtensionForType(content_type);
  return name;
}

UrlCache::UrlCache(fs::path folder) : folder_(std::move(folder)) {}

fs::path UrlCache::DefaultFolder() {
  if (const char* home = std::getenv("VELLUMTRACE_HOME"); home && *home) {
    return fs::path(home) / "urlcache";
  }
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && xdg[0] == '/') {
    return fs::path(xdg) / "vellumtrace" / "urlcache";
  }
  const char* user_home = std::getenv("HOME");
  return fs::path(user_home && *user_home ? user_home : "/tmp") / ".cache" / "vellumtrace" /
         "urlcache";
}

UrlCache& UrlCache::Process() {
  static UrlCache cache(DefaultFolder());
  return cache;
}

// The index file of `url`: the existing one (its entry in *found) or the first free name.
fs::path UrlCache::IndexPath(std::string_view url, std::optional<UrlCacheEntry>* found) {
  const std::string hash = HashHex(url);
  for (int i = 0;; ++i) {
    fs::path p = folder_ / "index" / (hash + (i ? "-" + std::to_string(i) : "") + ".json");
    auto text = ReadFile(p);
    if (!text) return p;
    auto entry = FromJson(*text, folder_);
    if (entry && entry->source_url == url) {
      *found = std::move(entry);
      return p;
    }
  }
}

UrlCacheEntry UrlCache::Store(std::string_view url_in, std::string_view header_text,
                              std::string_view body) {
  const std::string url = StripFragment(url_in);
  std::lock_guard lock(mutex_);
  std::error_code ec;
  std::optional<UrlCacheEntry> old;
  fs::path index = IndexPath(url, &old);
  fs::path file;
  if (old) {
    file = old->local_file;
  } else {
    // One folder for every body, so a file name names one response of the whole cache: the
    // first "logo.png" keeps its name, the next one from another address is "logo[1].png".
    fs::path files = folder_ / "files";
    fs::create_directories(files, ec);
    std::string stem = CacheFileStem(url, HeaderValue(header_text, "Content-Type"));
    std::string ext = fs::path(stem).extension().string();
    std::string base = stem.substr(0, stem.size() - ext.size());
    // The name is claimed by creating the file, so two writers never pick the same one.
    for (int n = 0;; ++n) {
      file = files / (n == 0 ? stem : base + "[" + std::to_string(n) + "]" + ext);
      int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        ::close(fd);
        break;
      }
      if (errno != EEXIST) {
        throw std::runtime_error("Cannot write " + file.string() + ": " + std::strerror(errno));
      }
    }
  }
  fs::create_directories(file.parent_path(), ec);
  fs::create_directories(index.parent_path(), ec);
  WriteFileAtomic(file, body);

  UrlCacheEntry e;
  e.source_url = url;
  e.local_file = file.string();
  e.header_text = std::string(header_text);
  std::string ext = file.extension().string();
  e.file_extension = ext.empty() ? "" : ext.substr(1);
  e.entry_type = 1;  // a normal entry
  e.size = body.size();
  e.last_sync = e.last_access = e.last_modified = Now();
  e.use_count = old ? old->use_count : 0;
  WriteFileAtomic(index, ToJson(e, folder_).dump());
  return e;
}

std::optional<UrlCacheEntry> UrlCache::Lookup(std::string_view url_in) {
  const std::string url = StripFragment(url_in);
  std::lock_guard lock(mutex_);
  std::optional<UrlCacheEntry> found;
  fs::path index = IndexPath(url, &found);
  if (!found) return std::nullopt;
  std::error_code ec;
  if (!fs::is_regular_file(found->local_file, ec)) return std::nullopt;
  found->use_count++;
  found->hit_rate++;
  found->last_access = Now();
  try {
    WriteFileAtomic(index, ToJson(*found, folder_).dump());
  } catch (const std::exception&) {
    // The counters are advisory; a read-only cache still answers.
  }
  return found;
}

bool UrlCache::Remove(std::string_view url_in) {
  const std::string url = StripFragment(url_in);
  std::lock_guard lock(mutex_);
  std::optional<UrlCacheEntry> found;
  fs::path index = IndexPath(url, &found);
  if (!found) return false;
  std::error_code ec;
  fs::remove(found->local_file, ec);
  // A later entry with the same hash is found by walking the chain, so a slot in the middle
  // stays as an empty record instead of a gap.
  std::string name = index.stem().string();
  auto dash = name.find('-');
  int slot = dash == std::string::npos ? 0 : std::atoi(name.c_str() + dash + 1);
  fs::path next =
      index.parent_path() / (name.substr(0, dash) + "-" + std::to_string(slot + 1) + ".json");
  if (fs::exists(next, ec)) {
    WriteFileAtomic(index, "{}");
  } else {
    fs::remove(index, ec);
  }
  return true;
}

int GetUrlCacheEntryInfo(std::string_view url, UrlCacheEntry& out) noexcept {
  try {
    auto e = UrlCache::Process().Lookup(url);
    if (!e) return kCacheEntryNotFound;
    out = std::move(*e);
    return kCacheEntryFound;
  } catch (...) {
    return kCacheEntryNotFound;
  }
}

}  // namespace vt::browser
