#include "platform/browser/document_loader.h"

#include <cctype>

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

void Fill(dom::Document& doc, const LoadResult& r) {
  if (!r.ok) {
    doc.Load(ErrorPage(r.url, r.error), r.url, "text/html; charset=utf-8");
    return;
  }
  const std::string type = MediaType(r.content_type);
  if (type.starts_with("image/")) {
    std::string name = r.url.substr(r.url.rfind('/') + 1);
    doc.Load("<!DOCTYPE html>\n<html><head><title>" + HtmlEscape(name) +
                 "</title></head><body><img src=\"" + HtmlEscape(r.url) + "\"></body></html>\n",
             r.url, "text/html; charset=utf-8");
  } else if (type == "text/plain" || type == "text/css" || type == "application/json" ||
             type == "text/javascript" || type == "application/javascript") {
    auto text = dom::DecodePage(r.body, r.content_type).text;
    doc.Load("<!DOCTYPE html>\n<html><head></head><body><pre>" + HtmlEscape(text) +
                 "</pre></body></html>\n",
             r.url, "text/html; charset=utf-8");
  } else {
    doc.Load(r.body, r.url, r.content_type);
  }
}

}  // namespace

void FillDocument(dom::Document& doc, const LoadResult& result) {
  try {
    Fill(doc, result);
  } catch (const std::exception& e) {
    LoadResult failed = result;
    failed.ok = false;
    failed.error = std::string("The page could not be shown: ") + e.what();
    Fill(doc, failed);
  }
}

std::shared_ptr<LoadRequest> LoadDocumentFromUrl(std::shared_ptr<dom::Document> doc,
                                                 const std::string& url,
                                                 std::function<void(HRESULT)> done) {
  return InternetSession::Process().Load(
      url, [doc = std::move(doc), done = std::move(done), url](LoadResult r) {
        if (r.url.empty()) r.url = url;
        FillDocument(*doc, r);
        if (done) done(r.ok ? com::S_OK : com::INET_E_DOWNLOAD_FAILURE);
      });
}

}  // namespace vt::browser
