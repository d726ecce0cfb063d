#include "platform/browser/session.h"

#include "platform/browser/mshtml.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/browser/network_threads.h"
#include "platform/browser/url.h"
#include "platform/browser/url_cache.h"

namespace vt::browser {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

LoadResult Failure(const std::string& url, std::string error, long status = 0) {
  LoadResult r;
  r.url = url;
  r.error = std::move(error);
  r.status = status;
  return r;
}

// Completion bookkeeping shared by every kind of request. UI thread only.
class RequestBase : public LoadRequest, public std::enable_shared_from_this<RequestBase> {
 public:
  RequestBase(std::string url, std::function<void(LoadResult)> done)
      : url_(std::move(url)), done_(std::move(done)) {}

  void Cancel() override {
    if (finished_) return;
    finished_ = true;
    done_ = nullptr;
    OnCancel();
  }

  const std::string& url() const { return url_; }
  bool finished() const { return finished_; }

 protected:
  void Complete(LoadResult result) {
    if (finished_) return;
    finished_ = true;
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) done(std::move(result));
  }
  void CompleteLater(LoadResult result) {
    detail::PostToUi([self = shared_from_this(), result = std::move(result)]() mutable {
      self->Complete(std::move(result));
    });
  }
  virtual void OnCancel() {}

 private:
  std::string url_;
  std::function<void(LoadResult)> done_;
  bool finished_ = false;
};

std::string MediaTypeOfPath(const std::filesystem::path& path) {
  std::string ext = Lower(path.extension().string());
  if (ext == ".html" || ext == ".htm" || ext == ".xhtml" || ext == ".shtml") return "text/html";
  if (ext == ".txt" || ext == ".text" || ext == ".log") return "text/plain";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".css") return "text/css";
  return "text/html";
}

// Local files, read on a network thread (a page may be large, a disk slow).
LoadResult LoadFile(const std::string& url, std::size_t max_bytes) {
  auto path = FilePathFromUrl(url);
  if (!path) return Failure(url, "The address is not a valid local file address.");
  std::error_code ec;
  std::filesystem::path p(*path);
  if (std::filesystem::is_directory(p, ec)) {
    return Failure(url, "The address names a folder, not a file: " + *path);
  }
  if (!std::filesystem::is_regular_file(p, ec)) {
    return Failure(url, "The file could not be found: " + *path);
  }
  auto size = std::filesystem::file_size(p, ec);
  if (ec) return Failure(url, "The file could not be read: " + *path);
  if (size > max_bytes) {
    return Failure(url, "The file is larger than " + std::to_string(max_bytes) + " bytes.");
  }
  std::ifstream in(p, std::ios::binary);
  if (!in) return Failure(url, "The file could not be read: " + *path);
  std::ostringstream s;
  s << in.rdbuf();
  LoadResult r;
  r.ok = true;
  r.url = url;
  r.body = s.str();
  r.content_type = MediaTypeOfPath(p);
  return r;
}

// Status line reason of a header text ("HTTP/1.1 404 Not Found" -> "404 Not Found").
std::string StatusOf(const std::string& header_text, long status) {
  auto end = header_text.find('\r');
  std::string line = header_text.substr(0, end);
  auto space = line.find(' ');
  if (space != std::string::npos && line.starts_with("HTTP/")) return line.substr(space + 1);
  return std::to_string(status);
}

class HttpRequest final : public RequestBase {
 public:
  using RequestBase::RequestBase;

  void Begin(const FetchLimits& limits, UrlCache* cache) {
    auto self = std::static_pointer_cast<HttpRequest>(shared_from_this());
    detail::RunOnNetworkThread(cancel_, [self, limits, cache, cancel = cancel_] {
      FetchResult f = FetchHttp(self->url(), limits, *cancel);
      if (cancel->load()) return;  // stopped, or the process is shutting down
      LoadResult r;
      r.url = f.final_url;
      r.status = f.status;
      if (!f.ok) {
        r.error = f.error;
      } else if (f.status >= 400) {
        r.error = "The server answered " + StatusOf(f.header_text, f.status) + ".";
      } else {
        r.ok = true;
        r.content_type = f.content_type;
        if (!f.charset.empty()) r.content_type += "; charset=" + f.charset;
        if (cache && f.status >= 200 && f.status < 300) {
          try {
            cache->Store(f.final_url, f.header_text, f.body);
          } catch (const std::exception&) {
            // A full or read-only cache folder does not stop the page from showing.
          }
        }
        r.body = std::move(f.body);
      }
      self->CompleteLater(std::move(r));
    });
  }

 private:
  void OnCancel() override { cancel_->store(true); }
  std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
};

class ProtocolRequest;

// The sink and bind information a namespace handler talks to. It forwards to its request
// until the request lets go of it (a handler may keep the sink longer than the request).
class ProtocolSink final
    : public com::ComObjectUncounted<IInternetProtocolSink, IInternetBindInfo> {
 public:
  explicit ProtocolSink(ProtocolRequest* request) : request_(request) {}
  void Detach() { request_ = nullptr; }

  HRESULT Switch(PROTOCOLDATA* data) override;
  HRESULT ReportProgress(ULONG status, const char* text) override;
  HRESULT ReportData(DWORD flags, ULONG progress, ULONG progress_max) override;
  HRESULT ReportResult(HRESULT result, DWORD error, const char* text) override;
  HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* bindinfo) override;
  HRESULT GetBindString(ULONG type, std::vector<std::string>* strings, ULONG max,
                        ULONG* fetched) override;

 private:
  ProtocolRequest* request_;
};

// One request served by a registered namespace handler.
class ProtocolRequest final : public RequestBase {
 public:
  ProtocolRequest(std::string url, std::function<void(LoadResult)> done, std::size_t max_bytes)
      : RequestBase(std::move(url), std::move(done)), max_bytes_(max_bytes) {}
  ~ProtocolRequest() override { Release(); }

  // Starts the handler; false when it hands the request back to the default protocols.
  bool Begin(com::IClassFactory* factory) {
    if (com::FAILED(
            factory->CreateInstance(nullptr, IInternetProtocol::kIid, protocol_.put_void())) ||
        !protocol_) {
      protocol_ = nullptr;
      return false;
    }
    sink_ = com::MakeCom<ProtocolSink>(this);
    in_start_ = true;
    HRESULT hr;
    try {
      hr = protocol_->Start(url().c_str(), sink_.get(), sink_.get(), PI_FORCE_ASYNC, 0);
    } catch (...) {
      hr = com::E_FAIL;
    }
    in_start_ = false;
    if (hr == com::INET_E_USE_DEFAULT_PROTOCOLHANDLER) {
      // The handler declined: it gets no Terminate, only its last release.
      protocol_ = nullptr;
      sink_->Detach();
      sink_ = nullptr;
      return false;
    }
    if (finished()) {  // stopped while the handler was starting
      Release();
      return true;
    }
    if (com::FAILED(hr)) {
      Finish(Failure(url(), "The page could not be loaded (" + com::HresultText(hr) + ")."));
      return true;
    }
    if (result_reported_ || data_available_) ScheduleDrain();
    return true;
  }

  void OnSwitch(const PROTOCOLDATA& data) {
    auto self = std::static_pointer_cast<ProtocolRequest>(shared_from_this());
    detail::PostToUi([self, data]() mutable {
      if (self->protocol_ && !self->finished()) {
        PROTOCOLDATA copy = data;
        self->protocol_->Continue(&copy);
      }
    });
  }
  void OnProgress(ULONG status, const char* text) {
    if (!text) return;
    if (status == BINDSTATUS_MIMETYPEAVAILABLE) content_type_ = text;
    if (status == BINDSTATUS_REDIRECTING) final_url_ = text;
  }
  void OnData() {
    data_available_ = true;
    if (!in_start_) ScheduleDrain();
  }
  void OnResult(HRESULT result) {
    result_reported_ = true;
    result_ = result;
    if (!in_start_) ScheduleDrain();
  }

 private:
  void ScheduleDrain() {
    if (drain_scheduled_ || finished()) return;
    drain_scheduled_ = true;
    auto self = std::static_pointer_cast<ProtocolRequest>(shared_from_this());
    detail::PostToUi([self] {
      self->drain_scheduled_ = false;
      self->Drain();
    });
  }

  void Drain() {
    if (finished() || !protocol_) return;
    char buffer[65536];
    for (;;) {
      ULONG read = 0;
      HRESULT hr;
      try {
        hr = protocol_->Read(buffer, sizeof buffer, &read);
      } catch (...) {
        hr = com::E_FAIL;
      }
      if (read > sizeof buffer) read = 0;  // a handler that misreports gets nothing appended
      body_.append(buffer, read);
      if (body_.size() > max_bytes_) {
        Finish(Failure(url(), "The page is larger than " + std::to_string(max_bytes_) + " bytes."));
        return;
      }
      if (hr == com::S_FALSE) break;
      if (com::FAILED(hr) && hr != com::E_PENDING) {
        Finish(Failure(url(), "The page could not be loaded (" + com::HresultText(hr) + ")."));
        return;
      }
      if (read == 0) {
        if (!result_reported_) return;  // more data is announced by the next ReportData
        break;
      }
    }
    if (result_reported_ && com::FAILED(result_)) {
      Finish(Failure(url(), "The page could not be loaded (" + com::HresultText(result_) + ")."));
      return;
    }
    LoadResult r;
    r.ok = true;
    r.url = final_url_.empty() ? url() : final_url_;
    r.content_type = content_type_;
    r.body = std::move(body_);
    Finish(std::move(r));
  }

  void Finish(LoadResult result) {
    Release();
    CompleteLater(std::move(result));
  }

  void OnCancel() override {
    if (in_start_) return;  // Begin terminates the handler once its Start has returned
    if (protocol_) {
      try {
        protocol_->Abort(com::E_ABORT, 0);
      } catch (...) {
      }
    }
    Release();
  }

  // Terminates the handler and lets go of it and of the sink, once.
  void Release() {
    if (protocol_) {
      auto protocol = std::move(protocol_);
      try {
        protocol->Terminate(0);
      } catch (...) {
      }
    }
    if (sink_) {
      sink_->Detach();
      sink_ = nullptr;
    }
  }

  std::size_t max_bytes_;
  com::ComPtr<IInternetProtocol> protocol_;
  com::ComPtr<ProtocolSink> sink_;
  std::string body_, content_type_, final_url_;
  bool in_start_ = false, data_available_ = false, result_reported_ = false;
  bool drain_scheduled_ = false;
  HRESULT result_ = com::S_OK;
};

HRESULT ProtocolSink::Switch(PROTOCOLDATA* data) {
  if (!data) return com::E_POINTER;
  if (request_) request_->OnSwitch(*data);
  return com::S_OK;
}
HRESULT ProtocolSink::ReportProgress(ULONG status, const char* text) {
  if (request_) request_->OnProgress(status, text);
  return com::S_OK;
}
HRESULT ProtocolSink::ReportData(DWORD, ULONG, ULONG) {
  if (request_) request_->OnData();
  return com::S_OK;
}
HRESULT ProtocolSink::ReportResult(HRESULT result, DWORD, const char*) {
  if (request_) request_->OnResult(result);
  return com::S_OK;
}
HRESULT ProtocolSink::GetBindInfo(DWORD* grfBINDF, BINDINFO* bindinfo) {
  if (grfBINDF) *grfBINDF = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
  if (bindinfo) *bindinfo = BINDINFO{};
  return com::S_OK;
}
HRESULT ProtocolSink::GetBindString(ULONG type, std::vector<std::string>* strings, ULONG max,
                                    ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (!strings || max == 0) return com::E_INVALIDARG;
  if (type == BINDSTRING_ACCEPT_MIMES) {
    strings->push_back("*/*");
  } else if (type == BINDSTRING_USER_AGENT) {
    strings->push_back("Mozilla/5.0 (X11; Linux x86_64) Vellumtrace/0.1");
  } else if (type == BINDSTRING_URL && request_) {
    strings->push_back(request_->url());
  } else {
    return com::S_FALSE;
  }
  if (fetched) *fetched = 1;
  return com::S_OK;
}

// about: and protocols nobody handles: answered at once (from a posted task). file: is read on a
// network thread and answered from the UI thread's loop.
class ImmediateRequest final : public RequestBase {
 public:
  using RequestBase::RequestBase;
  void Begin(std::size_t max_bytes) {
    const std::string scheme = SchemeOf(url());
    if (scheme == "about") {
      LoadResult r;
      r.ok = true;
      r.url = url();
      r.content_type = "text/html";
      Complete(std::move(r));
    } else if (scheme == "file") {
      auto self = std::static_pointer_cast<ImmediateRequest>(shared_from_this());
      detail::RunOnNetworkThread(cancel_, [self, max_bytes, cancel = cancel_] {
        LoadResult r = LoadFile(self->url(), max_bytes);
        if (!cancel->load()) self->CompleteLater(std::move(r));
      });
    } else {
      Complete(Failure(url(), "The address uses a protocol that cannot be fetched."));
    }
  }

 private:
  void OnCancel() override { cancel_->store(true); }
  std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
};

// The first request object of a load: asks the namespace handlers, then the default protocols,
// from a posted task so that no handler runs inside the caller's Navigate.
class Dispatcher final : public LoadRequest {
 public:
  void Cancel() override {
    cancelled_ = true;
    if (inner_) inner_->Cancel();
  }
  bool cancelled_ = false;
  std::shared_ptr<LoadRequest> inner_;
};

}  // namespace

InternetSession::InternetSession() : cache_(&UrlCache::Process()) {
  // Documents that show nowhere are made by the same library that loads pages.
  RegisterHtmlDocumentClass();
}

InternetSession& InternetSession::Process() {
  static InternetSession* session = [] {
    auto* s = new InternetSession();
    s->AddRef();  // lives as long as the process
    return s;
  }();
  return *session;
}

HRESULT InternetSession::RegisterNameSpace(com::IClassFactory* factory, const GUID& clsid,
                                           const char* scheme, ULONG, const char* const*, DWORD) {
  if (!factory || !scheme || !*scheme) return com::E_INVALIDARG;
  std::lock_guard lock(mutex_);
  registrations_.push_back(Registration{factory, clsid, Lower(scheme)});
  return com::S_OK;
}

HRESULT InternetSession::UnregisterNameSpace(com::IClassFactory* factory, const char* scheme) {
  if (!scheme) return com::E_INVALIDARG;
  std::lock_guard lock(mutex_);
  const std::string s = Lower(scheme);
  for (auto it = registrations_.end(); it != registrations_.begin();) {
    --it;
    if (it->scheme == s && it->factory.get() == factory) {
      registrations_.erase(it);
      break;
    }
  }
  return com::S_OK;
}

HRESULT InternetSession::RegisterMimeFilter(com::IClassFactory*, const GUID&, const char*) {
  return com::E_NOTIMPL;
}
HRESULT InternetSession::UnregisterMimeFilter(com::IClassFactory*, const char*) {
  return com::E_NOTIMPL;
}

size_t InternetSession::NameSpaceCount() const {
  std::lock_guard lock(mutex_);
  return registrations_.size();
}

std::vector<InternetSession::Registration> InternetSession::Handlers(
    const std::string& scheme) const {
  std::lock_guard lock(mutex_);
  std::vector<Registration> out;
  for (auto it = registrations_.rbegin(); it != registrations_.rend(); ++it) {
    if (it->scheme == scheme) out.push_back(*it);
  }
  return out;
}

std::shared_ptr<LoadRequest> InternetSession::Load(const std::string& url,
                                                   std::function<void(LoadResult)> done) {
  auto dispatcher = std::make_shared<Dispatcher>();
  detail::PostToUi([this, dispatcher, url, done = std::move(done)]() mutable {
    if (dispatcher->cancelled_) return;
    const std::string scheme = SchemeOf(url);
    for (const auto& reg : Handlers(scheme)) {
      auto request = std::make_shared<ProtocolRequest>(url, done, limits_.max_bytes);
      dispatcher->inner_ = request;
      if (request->Begin(reg.factory.get())) return;
      dispatcher->inner_ = nullptr;
      if (dispatcher->cancelled_) return;  // cancelled from inside the handler's Start
    }
    if (scheme == "http" || scheme == "https") {
      auto request = std::make_shared<HttpRequest>(url, std::move(done));
      dispatcher->inner_ = request;
      request->Begin(limits_, cache_);
    } else {
      auto request = std::make_shared<ImmediateRequest>(url, std::move(done));
      dispatcher->inner_ = request;
      request->Begin(limits_.max_bytes);
    }
  });
  return dispatcher;
}

HRESULT CoInternetGetSession(DWORD mode, IInternetSession** session, DWORD reserved) {
  if (!session) return com::E_POINTER;
  *session = nullptr;
  if (mode != 0 || reserved != 0) return com::E_INVALIDARG;
  auto& s = InternetSession::Process();
  s.AddRef();
  *session = &s;
  return com::S_OK;
}

}  // namespace vt::browser
