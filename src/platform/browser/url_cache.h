#pragma once
// The browser's URL cache: every successful http(s) response is kept as one file with its
// response headers, and a lookup by URL answers where the copy lives.
//
// Layout of the cache folder: <folder>/files/<name>.<ext> holds the body of a response (the name
// comes from the last path segment of the URL, reduced to safe characters, so no part of a URL can
// ever name a path outside the folder; a name already taken by another address gets a counter,
// <name>[1].<ext>, <name>[2].<ext> ..., so a file name names one response of the whole cache);
// <folder>/index/<hash>.json holds the entry's URL, header text and times. Files are written to a
// temporary name and renamed, so a crash leaves the old entry or the new one.
//
// Thread-safe: the network threads store, the UI thread looks up.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vt::browser {

// One entry as a lookup answers it. Times are seconds since 1970 (UTC).
struct UrlCacheEntry {
  std::string source_url;
  std::string local_file;      // absolute path of the cached body
  std::string header_text;     // status line and headers as received, CR LF, ending in CR LF CR LF
  std::string file_extension;  // of local_file, without the dot ("png"); may be empty
  std::uint32_t entry_type = 0;
  std::uint32_t use_count = 0;
  std::uint32_t hit_rate = 0;
  std::uint64_t size = 0;
  std::int64_t last_modified = 0;
  std::int64_t expire_time = 0;
  std::int64_t last_access = 0;
  std::int64_t last_sync = 0;
};

class UrlCache {
 public:
  // A cache kept in `folder` (created on first store).
  explicit UrlCache(std::filesystem::path folder);

  // The process's cache: $VELLUMTRACE_HOME/urlcache/ when that is set, otherwise
  // $XDG_CACHE_HOME/vellumtrace/urlcache/ (~/.cache/vellumtrace/urlcache/).
  static UrlCache& Process();
  static std::filesystem::path DefaultFolder();

  const std::filesystem::path& Folder() const { return folder_; }

  // Keeps `body` with its header text for `url` (the fragment is ignored), replacing an older
  // entry of the same URL. Throws std::runtime_error when the files cannot be written.
  UrlCacheEntry Store(std::string_view url, std::string_view header_text, std::string_view body);

  // The entry of `url`; nullopt when there is none or its file has gone. Counts a use.
  std::optional<UrlCacheEntry> Lookup(std::string_view url);

  // Drops the entry of `url` and its file; false when there was none.
  bool Remove(std::string_view url);

 private:
  std::filesystem::path IndexPath(std::string_view url, std::optional<UrlCacheEntry>* found);
  std::filesystem::path folder_;
  std::mutex mutex_;
};

// Win32-style result codes of the lookup below.
inline constexpr int kCacheEntryFound = 0;
inline constexpr int kCacheEntryNotFound = 2;  // ERROR_FILE_NOT_FOUND

// Looks `url` up in the process's cache: kCacheEntryFound and `out` filled, or
// kCacheEntryNotFound and `out` untouched. Never throws.
int GetUrlCacheEntryInfo(std::string_view url, UrlCacheEntry& out) noexcept;

// The cache file name a response would get before its [n] counter: the last path segment of
// the URL (decoded, reduced to letters, digits, '-', '_' and '.', never starting with '.',
// at most 64 characters), "index" when empty; an extension from `content_type` is added when
// the segment has none.
std::string CacheFileStem(std::string_view url, std::string_view content_type);

}  // namespace vt::browser
