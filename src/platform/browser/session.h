#pragma once
// The process's internet session: the namespace handlers registered by scheme, and the loading
// of a URL for the browser objects.
//
// A request of a registered scheme first goes to a new protocol object of the most recently
// registered handler (Start, then Read until S_FALSE, then Terminate); when Start answers
// INET_E_USE_DEFAULT_PROTOCOLHANDLER the next registration is asked and finally the built-in
// protocols: about:, file: (local files), http: and https: (libcurl on a network thread; every
// successful response is kept in the URL cache).

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/browser/http_fetch.h"
#include "platform/browser/protocol.h"

namespace vt::browser {

class UrlCache;

// The outcome of one load.
struct LoadResult {
  bool ok = false;           // the page's bytes are in `body`; false: `error` says why not
  std::string url;           // the address loaded (after redirects)
  std::string content_type;  // as a Content-Type header ("text/html; charset=utf-8"), may be ""
  std::string body;
  long status = 0;    // the HTTP status for http(s), else 0
  std::string error;  // a sentence for the error page
};

// One load in progress. Cancel() stops it; its completion function is then never called.
class LoadRequest {
 public:
  virtual ~LoadRequest() = default;
  virtual void Cancel() = 0;
};

class InternetSession final : public com::ComObjectUncounted<IInternetSession> {
 public:
  static InternetSession& Process();

  HRESULT RegisterNameSpace(com::IClassFactory* factory, const GUID& clsid, const char* scheme,
                            ULONG pattern_count, const char* const* patterns,
                            DWORD reserved) override;
  HRESULT UnregisterNameSpace(com::IClassFactory* factory, const char* scheme) override;
  HRESULT RegisterMimeFilter(com::IClassFactory* factory, const GUID& clsid,
                             const char* type) override;
  HRESULT UnregisterMimeFilter(com::IClassFactory* factory, const char* type) override;

  // Loads `url` (UI thread). `done` runs later on the UI thread, never inside Load, exactly once
  // unless the request is cancelled first.
  std::shared_ptr<LoadRequest> Load(const std::string& url, std::function<void(LoadResult)> done);

  // Limits of the http(s) fetches (read when a fetch starts).
  FetchLimits& Limits() { return limits_; }
  // The cache the http(s) responses go to (the process's cache unless changed).
  void SetUrlCache(UrlCache* cache) { cache_ = cache; }
  UrlCache* Cache() const { return cache_; }

  // Whether the browsers fetch the pictures of their pages into the cache (on by default).
  void SetPrefetchImages(bool on) { prefetch_images_ = on; }
  bool PrefetchImages() const { return prefetch_images_; }

  // Number of namespace registrations (for diagnostics and tests).
  size_t NameSpaceCount() const;

 private:
  InternetSession();
  struct Registration {
    com::ComPtr<com::IClassFactory> factory;
    GUID clsid;
    std::string scheme;  // lower case
  };
  std::vector<Registration> Handlers(const std::string& scheme) const;

  mutable std::mutex mutex_;
  std::vector<Registration> registrations_;
  FetchLimits limits_;
  UrlCache* cache_;
  bool prefetch_images_ = true;
};

}  // namespace vt::browser
