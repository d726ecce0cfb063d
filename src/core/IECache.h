#pragma once
// TIECache: the page session's view of the browser's URL cache. A lookup copies the fields of the
// cache entry of one address into this object; the image grabber uses the local file name and
// the stored response headers. UI thread.
#include <cstdint>
#include <string>

namespace vt {

// Result codes of LookupCacheEntry.
inline constexpr int kCacheFound = 0;
inline constexpr int kCacheFunctionsMissing = 2;

class TIECache {
 public:
  // Asks the URL cache for the entry of `url`: kCacheFound and the fields below filled, or the
  // cache's error code (2 when nothing is cached for the address) with the fields untouched.
  int LookupCacheEntry(const std::string& url);

  std::string SourceUrlName;
  std::string LocalFileName;  // absolute path of the cached copy; empty when none was found
  std::uint32_t CacheEntryType = 0;
  std::uint32_t UseCount = 0;
  std::uint32_t HitRate = 0;
  std::uint64_t Size = 0;
  std::int64_t LastModifiedTime = 0;
  std::int64_t ExpireTime = 0;
  std::int64_t LastAccessTime = 0;
  std::int64_t LastSyncTime = 0;
  std::string HeaderInfo;  // the response's status line and headers
  std::string FileExtension;
};

}  // namespace vt
