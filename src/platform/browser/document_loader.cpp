#include "platform/browser/document_loader.h"

#include <atomic>
#include <cctype>
#include <optional>
#include <system_error>

#include "platform/browser/network_threads.h"
#include "platform/browser/url.h"
#include "platform/dom/charset.h"

namespace vt::browser {
namespace {

std::string ErrorPage(const std::string& url, const std::string& reason) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Cannot show the page"
         "</title></head>\n<body><h1>Cannot show the page</h1>\n<p>" +
         HtmlEscape(reason) + "</p>\n<p>Address: " + HtmlEscape(url) + "</p>\n</body></html>\n";
}

std::string MediaType(const std::string& content_type) {
  std::string type = content_type.substr(0, content_type.find(';'));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return type;
}

std::atomic<int> g_parses_running{0};

constexpr const char* kUtf8Html = "text/html; charset=utf-8";

dom::ParsedPage Parse(const LoadResult& r) {
  if (!r.ok) return dom::ParsedPage::Parse(ErrorPage(r.url, r.error), kUtf8Html);
  const std::string type = MediaType(r.content_type);
  if (type.starts_with("image/")) {
    std::string name = r.url.substr(r.url.rfind('/') + 1);
    return dom::ParsedPage::Parse("<!DOCTYPE html>\n<html><head><title>" + HtmlEscape(name) +
                                      "</title></head><body><img src=\"" + HtmlEscape(r.url) +
                                      "\"></body></html>\n",
                                  kUtf8Html);
  }
  if (type == "text/plain" || type == "text/css" || type == "application/json" ||
      type == "text/javascript" || type == "application/javascript") {
    auto text = dom::DecodePage(r.body, r.content_type).text;
    return dom::ParsedPage::Parse("<!DOCTYPE html>\n<html><head></head><body><pre>" +
                                      HtmlEscape(text) + "</pre></body></html>\n",
                                  kUtf8Html);
  }
  return dom::ParsedPage::Parse(r.body, r.content_type);
}

// One load followed by its parse. The load runs through the internet session; its outcome goes
// to a detached worker that parses it and hands the page back through `handoff_`. Everything
// but the parse happens on the UI thread; the worker touches only the outcome it was given.
class LoadThenParse final : public LoadRequest, public std::enable_shared_from_this<LoadThenParse> {
 public:
  using Done = std::function<void(LoadResult, dom::ParsedPage)>;
  explicit LoadThenParse(Done done) : done_(std::move(done)) {}

  void Start(const std::string& url) {
    auto self = shared_from_this();
    load_ = InternetSession::Process().Load(url, [self, url](LoadResult r) {
      if (r.url.empty()) r.url = url;
      self->Loaded(std::move(r));
    });
  }

  void Cancel() override {
    handoff_.Close();
    if (load_) {
      auto load = std::move(load_);
      load->Cancel();
    }
    done_ = nullptr;  // here, on the UI thread: it may hold the caller's objects
  }

 private:
  // The page and the outcome it came from, as the worker hands them over.
  struct Parsed {
    LoadResult result;
    std::optional<dom::ParsedPage> page;
  };

  void Loaded(LoadResult r) {
    load_ = nullptr;
    if (handoff_.Closed()) return;
    auto parsed = std::make_shared<Parsed>();
    parsed->result = std::move(r);
    ++g_parses_running;
    try {
      RunParse(parsed);
    } catch (const std::system_error&) {
      // No thread to be had: parse here rather than never.
      --g_parses_running;
      parsed->page = ParseLoadResult(parsed->result);
      Finish(std::move(parsed->result), std::move(*parsed->page));
    }
  }

  void RunParse(const std::shared_ptr<Parsed>& parsed) {
    detail::RunDetached([self = shared_from_this(), parsed]() mutable {
      LoadThenParse* job = self.get();
      parsed->page = ParseLoadResult(parsed->result);
      --g_parses_running;
      parsed->result.body = std::string();
      std::function<void()> task = [self = std::move(self), parsed] {
        self->Finish(std::move(parsed->result), std::move(*parsed->page));
      };
      if (!job->handoff_.Post(task) && !job->handoff_.Closed()) {
        // The process is ending: the task may hold the caller's objects, which belong to the UI
        // thread. Leave them be.
        new std::function<void()>(std::move(task));
      }
    });
  }

  void Finish(LoadResult result, dom::ParsedPage page) {
    if (handoff_.Closed()) return;  // cancelled while the page was on its way
    handoff_.Close();
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) done(std::move(result), std::move(page));
  }

  Done done_;
  std::shared_ptr<LoadRequest> load_;
  detail::UiHandOff handoff_;
};

}  // namespace

int PageParsesRunning() {
  return g_parses_running.load();
}

dom::ParsedPage ParseLoadResult(const LoadResult& result) {
  try {
    return Parse(result);
  } catch (const std::exception& e) {
    LoadResult failed;
    failed.url = result.url;
    failed.error = std::string("The page could not be shown: ") + e.what();
    return Parse(failed);
  }
}

void FillDocument(dom::Document& doc, const LoadResult& result) {
  doc.Load(ParseLoadResult(result), result.url);
}

std::shared_ptr<LoadRequest> LoadAndParse(const std::string& url,
                                          std::function<void(LoadResult, dom::ParsedPage)> done) {
  auto request = std::make_shared<LoadThenParse>(std::move(done));
  request->Start(url);
  return request;
}

std::shared_ptr<LoadRequest> LoadDocumentFromUrl(std::shared_ptr<dom::Document> doc,
                                                 const std::string& url,
                                                 std::function<void(HRESULT)> done) {
  return LoadAndParse(
      url, [doc = std::move(doc), done = std::move(done)](LoadResult r, dom::ParsedPage page) {
        doc->Load(std::move(page), r.url);
        if (done) done(r.ok ? com::S_OK : com::INET_E_DOWNLOAD_FAILURE);
      });
}

}  // namespace vt::browser
