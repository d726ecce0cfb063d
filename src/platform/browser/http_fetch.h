#pragma once
// Blocking http(s) fetches with libcurl, for the network threads of the internet session.
// Never call these on the UI thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace vt::browser {

struct FetchLimits {
  int max_redirects = 10;
  std::chrono::milliseconds connect_timeout{10000};
  std::chrono::milliseconds total_timeout{30000};
  std::size_t max_bytes = 32u << 20;  // of the decoded body
};

struct FetchResult {
  bool ok = false;           // a response arrived (of any status); false: see `error`
  long status = 0;           // HTTP status of the final response
  std::string final_url;     // after redirects
  std::string header_text;   // final response: status line and headers, CR LF, blank line
  std::string content_type;  // media type in lower case without parameters ("text/html")
  std::string charset;       // charset parameter of Content-Type in lower case, or ""
  std::string body;          // with any content coding (gzip, deflate) removed
  std::string error;         // why there is no response, in words a user understands
};

// Fetches `url` (http or https only). Sets `cancel` from any thread to abort promptly; the result
// then says "The download was stopped.".
FetchResult FetchHttp(const std::string& url, const FetchLimits& limits,
                      const std::atomic<bool>& cancel);

// "text/html; charset=UTF-8" -> type "text/html", charset "utf-8".
void ParseContentType(const std::string& value, std::string& type, std::string& charset);

}  // namespace vt::browser
