#include "publishing/PageTemplate.h"

#include "config/myRegistry.h"
#include "platform/text/escape.h"

namespace vt {

std::string EscapeHtmlText(std::string_view text) {
  return text::EscapeHtml(text, text::HtmlQuotes::kNone);
}

namespace {

// An address inside a double-quoted attribute: a double quote would end the attribute, so it is
// written as %22, which names the same address.
std::string QuoteSafeUrl(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    if (c == '"')
      out += "%22";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string StyleSheetUrl(std::string_view app_dir) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file:";
  for (char ch : app_dir) {
    auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' || c == '"') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  out += "Vellumtrace.css";
  return out;
}

std::string WrapInPageTemplateFor(std::string_view app_dir, std::string_view content,
                                  std::string_view title, std::string_view base_url) {
  std::string page;
  page.reserve(content.size() + 400);
  page += "<HTML>";
  page += "<head>";
  page += "<meta http-equiv=\"pragma\" content=\"cache\">";
  page += "<title>";
  page += title.empty() ? std::string("Vellumtrace") : EscapeHtmlText(title);
  page += "</title>";
  page += "<link rel=stylesheet href=\"";
  page += StyleSheetUrl(app_dir);
  page += "\" type=text/css>";
  page += kErrorScript;
  page += "</head>";
  if (!base_url.empty()) {
    page += "<base href=\"";
    page += QuoteSafeUrl(base_url);
    page += "\">";
  }
  page += "<BODY>";
  page += content;
  page += "</BODY>";
  page += "</HTML>";
  return page;
}

std::string WrapInPageTemplate(TmyDOM* /*session*/, std::string_view content,
                               std::string_view title, std::string_view base_url) {
  return WrapInPageTemplateFor(AppDir(), content, title, base_url);
}

std::string PrependErrorScript(TmyDOM* /*session*/, std::string_view markup) {
  std::string out(kErrorScript);
  out += markup;
  return out;
}

}  // namespace vt
