// The URL-cache lookup of the page session.
#include "core/IECache.h"

#include <optional>

#include "platform/browser/session.h"
#include "platform/browser/url_cache.h"

namespace vt {

namespace {
// The cache functions are part of the browser library linked into the program, so the check
// that they exist, made once per process, always succeeds here.
bool CacheFunctionsPresent() {
  static const bool present = true;
  return present;
}
}  // namespace

int TIECache::LookupCacheEntry(const std::string& url) {
  if (!CacheFunctionsPresent()) return kCacheFunctionsMissing;
  // The cache the browsers of this process store their responses in.
  browser::UrlCache* cache = browser::InternetSession::Process().Cache();
  std::optional<browser::UrlCacheEntry> found;
  try {
    if (cache) found = cache->Lookup(url);
  } catch (const std::exception&) {
    found.reset();
  }
  if (!found) return browser::kCacheEntryNotFound;
  const browser::UrlCacheEntry& entry = *found;
  SourceUrlName = entry.source_url;
  LocalFileName = entry.local_file;
  CacheEntryType = entry.entry_type;
  UseCount = entry.use_count;
  HitRate = entry.hit_rate;
  Size = entry.size;
  LastModifiedTime = entry.last_modified;
  ExpireTime = entry.expire_time;
  LastAccessTime = entry.last_access;
  LastSyncTime = entry.last_sync;
  HeaderInfo = entry.header_text;
  FileExtension = entry.file_extension;
  return kCacheFound;
}

}  // namespace vt
