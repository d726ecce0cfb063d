#include "publishing/MailClipboard.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/clipboard/clipboard.h"
#include "platform/dom/document.h"
#include "platform/mail/mail.h"
#include "publishing/PageTemplate.h"
#include "storage/urlRecords.h"

namespace vt {
namespace {

[[noreturn]] void ClipboardFailure(const char* call) {
  const auto code = clipboard::GetClipboardError();
  throw std::system_error(static_cast<int>(code), std::system_category(),
                          std::string(call) + " failed with system error " + std::to_string(code));
}

// Closes the clipboard however the copy ends.
struct OpenClipboardScope {
  OpenClipboardScope() {
    if (!clipboard::OpenClipboard()) ClipboardFailure("OpenClipboard");
  }
  ~OpenClipboardScope() { clipboard::CloseClipboard(); }
};

std::string BaseOf(const TmyDOM& session) {
  return session.WorkDocument ? session.WorkDocument->URL() : std::string();
}

// The selected entry, or null when nothing is selected.
const Tnode* SelectedEntry(TmyDOM& session) {
  if (session.SelectedIndex + 1 <= 0) return nullptr;
  return session.Entry(session.SelectedIndex + 1);
}

}  // namespace

void CopyHtmlToClipboard(const std::string& text, const std::string& html) {
  OpenClipboardScope open;
  const clipboard::UINT html_format = clipboard::RegisterClipboardFormat("HTML Format");
  if (!clipboard::EmptyClipboard()) ClipboardFailure("EmptyClipboard");
  if (!html.empty() &&
      !clipboard::SetClipboardData(html_format, clipboard::BuildClipboardHtml(html))) {
    ClipboardFailure("SetClipboardData");
  }
  if (!text.empty() && !clipboard::SetClipboardData(clipboard::CF_TEXT, text)) {
    ClipboardFailure("SetClipboardData");
  }
}

void MailPage(const std::string& page, const std::string& subject, bool keep_file) {
  const std::string path = WithTrailingSlash(AppDir()) + kMailAttachmentName;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(page.data(), static_cast<std::streamsize>(page.size()));
    if (out) out.flush();
    if (!out) {
      throw std::runtime_error("Cannot write the mail attachment '" + path +
                               "': " + std::strerror(errno) +
                               ". Check that the program folder can be written to.");
    }
  }
  mail::SendMail(subject, "", path);
  if (!keep_file) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
}

void CopyItemToClipboard(TmyDOM& session) {
  const Tnode* entry = SelectedEntry(session);
  if (!entry) return;
  TmyDOM::ElementPage element = session.BuildElementPage(*entry);
  const std::string page =
      WrapInPageTemplate(&session, element.html, element.title, BaseOf(session));
  CopyHtmlToClipboard(page, page);
  session.SetStatusText("Copied to clipboard");
}

void MailSelectedItem(TmyDOM& session) {
  const Tnode* entry = SelectedEntry(session);
  if (!entry) return;
  TmyDOM::ElementPage element = session.BuildElementPage(*entry);
  MailPage(WrapInPageTemplate(&session, element.html, element.title, BaseOf(session)),
           element.title, false);
}

void MailItemOfPage(TmyDOM& session) {
  const Tnode* entry = SelectedEntry(session);
  if (!entry) return;
  DocumentRef document = TmyDOM::GetFrameDocument(session.Document, entry->Frame);
  const std::string html = session.GetObjectHTML(document, entry);
  MailPage(WrapInPageTemplate(&session, html, entry->Text, BaseOf(session)), entry->Text, false);
}

void CopySnippetToClipboard(TmyDOM& session, const std::string& snippet, const std::string& name,
                            std::optional<std::int32_t> url_id) {
  const std::string base = url_id ? GetUrlById(session, *url_id) : std::string();
  const std::string page = WrapInPageTemplate(&session, snippet, name, base);
  CopyHtmlToClipboard(page, page);
  session.SetStatusText("Snippet copied to clipboard");
}

void MailSnippet(const std::string& snippet, const std::string& name) {
  MailPage(WrapInPageTemplate(nullptr, snippet, name, ""), name, false);
}

void MailLink(TmyDOM& session, std::int32_t url_id, const std::string& title) {
  const std::string address = GetUrlById(session, url_id);
  // The address comes from a visited page: escaped, so that it stays one link.
  const std::string escaped = browser::HtmlEscape(address);
  const std::string link = "<a href=\"" + escaped + "\">" + escaped + "</a>";
  MailPage(WrapInPageTemplate(&session, link, "", ""), title, true);
}

}  // namespace vt
