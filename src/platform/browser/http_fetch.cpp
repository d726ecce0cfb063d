#include "platform/browser/http_fetch.h"

#include <curl/curl.h>

#include <cctype>
#include <mutex>

#include "platform/browser/url.h"

namespace vt::browser {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

struct Transfer {
  const FetchLimits* limits;
  const std::atomic<bool>* cancel;
  FetchResult* result;
  bool too_large = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  if (t->result->body.size() + n > t->limits->max_bytes) {
    t->too_large = true;
    return 0;  // makes curl stop with CURLE_WRITE_ERROR
  }
  t->result->body.append(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  std::string line(data, n);
  // Each response of a redirect chain starts with its status line: keep only the last one.
  if (line.starts_with("HTTP/")) t->result->header_text.clear();
  t->result->header_text += line;
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->cancel->load() ? 1 : 0;
}

std::string Reason(CURLcode code, const Transfer& t, const char* detail) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "The server name could not be found.";
    case CURLE_COULDNT_CONNECT:
      return "The server refused the connection.";
    case CURLE_OPERATION_TIMEDOUT:
      return "The server did not answer in time.";
    case CURLE_TOO_MANY_REDIRECTS:
      return "The page redirects too many times.";
    case CURLE_ABORTED_BY_CALLBACK:
      return "The download was stopped.";
    case CURLE_FILESIZE_EXCEEDED:
      return "The page is larger than " + std::to_string(t.limits->max_bytes) + " bytes.";
    case CURLE_WRITE_ERROR:
      if (t.too_large) {
        return "The page is larger than " + std::to_string(t.limits->max_bytes) + " bytes.";
      }
      break;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "The address uses a protocol that cannot be fetched.";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
      return std::string("The secure connection failed: ") +
             (detail && *detail ? detail : curl_easy_strerror(code));
    default:
      break;
  }
  return std::string("The page could not be loaded: ") +
         (detail && *detail ? detail : curl_easy_strerror(code));
}

}  // namespace

void ParseContentType(const std::string& value, std::string& type, std::string& charset) {
  type = Lower(Trim(value.substr(0, value.find(';'))));
  charset.clear();
  size_t pos = value.find(';');
  while (pos != std::string::npos) {
    size_t next = value.find(';', pos + 1);
    std::string param =
        Trim(value.substr(pos + 1, next == std::string::npos ? next : next - pos - 1));
    auto eq = param.find('=');
    if (eq != std::string::npos && Lower(Trim(param.substr(0, eq))) == "charset") {
      std::string v = Trim(param.substr(eq + 1));
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      charset = Lower(v);
    }
    pos = next;
  }
}

namespace {

// libcurl's global set-up is not thread-safe and initialises the TLS library, so it runs once on
// the main thread while the program starts, never first on a network thread (which could be while
// the process is already exiting and the TLS library torn down).
void InitCurlOnce() {
  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

[[maybe_unused]] const bool curl_ready_at_start = (InitCurlOnce(), true);

}  // namespace

FetchResult FetchHttp(const std::string& url, const FetchLimits& limits,
                      const std::atomic<bool>& cancel) {
  InitCurlOnce();

  FetchResult result;
  result.final_url = url;
  const std::string scheme = SchemeOf(url);
  if (scheme != "http" && scheme != "https") {
    result.error = "The address uses a protocol that cannot be fetched.";
    return result;
  }
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.error = "The network library could not start.";
    return result;
  }
  Transfer t{&limits, &cancel, &result};
  char detail[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits.max_redirects));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_bytes));
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // every coding libcurl can decode
  // Cookies set along a redirect chain are sent on its next steps (kept for this fetch only).
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/5.0 (X11; Linux x86_64) Vellumtrace/0.1");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);

  CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK) {
    result.ok = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
      result.final_url = effective;
    }
    char* type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
      ParseContentType(type, result.content_type, result.charset);
    }
    if (!result.header_text.ends_with("\r\n\r\n")) {
      while (!result.header_text.empty() &&
             (result.header_text.back() == '\n' || result.header_text.back() == '\r')) {
        result.header_text.pop_back();
      }
      result.header_text += "\r\n\r\n";
    }
  } else {
    result.error = Reason(code, t, detail);
    result.body.clear();
    result.header_text.clear();
  }
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace vt::browser
