#pragma once
// Pages leaving the system: as "temp.html" in the program folder attached to a new message of
// the user's mail program, or on the clipboard as "HTML Format" with a plain-text copy. Each
// page is first made complete with the page template. The band's export commands call these;
// they run on the UI thread.
//
// Failures: clipboard calls that fail throw std::system_error whose message names the error code
// (the clipboard is closed again); a "temp.html" that cannot be written throws std::runtime_error
// saying so, and no mail is started. The mail program's own result is not looked at: a missing
// one shows nothing.
#include <cstdint>
#include <optional>
#include <string>

namespace vt {

class TmyDOM;

// The attachment's name in the program folder.
inline constexpr const char* kMailAttachmentName = "temp.html";

// Puts `html` on the clipboard as "HTML Format" (BuildClipboardHtml) and `text` as plain text,
// after emptying it; an empty string leaves its entry out.
void CopyHtmlToClipboard(const std::string& text, const std::string& html);

// Writes `page` to AppDir + "temp.html" as it is, opens the mail program's compose window with
// `subject` (empty stays empty) and the file attached, and deletes the file afterwards unless
// `keep_file`.
void MailPage(const std::string& page, const std::string& subject, bool keep_file);

// ---- What the export commands send (the commands are on the band's tabs)

// Filter tab "Copy Selected Item" / "Copy to Clipboard": the filter view of the selected entry in
// the page template (based at the working document's address), on the clipboard as both entries;
// status "Copied to clipboard". Nothing without a selection.
void CopyItemToClipboard(TmyDOM& session);
// Filter tree "Send via E-mail": the same page, mailed with its title as subject.
void MailSelectedItem(TmyDOM& session);
// Page menu "Item via E-mail": the selected element's mark-up in its frame's document, with the
// entry's text as title and subject.
void MailItemOfPage(TmyDOM& session);
// Snippet tab "Copy": a stored snippet in the template with its name as title, based at its
// page's address (`url_id`, none when null); status "Snippet copied to clipboard".
void CopySnippetToClipboard(TmyDOM& session, const std::string& snippet, const std::string& name,
                            std::optional<std::int32_t> url_id);
// Snippet tab "Send via E-mail": the snippet in the template, its name as title and subject.
void MailSnippet(const std::string& snippet, const std::string& name);
// Search results "Send Link via Email": a page holding one link to the result's address, with
// the result's title as subject; "temp.html" is kept.
void MailLink(TmyDOM& session, std::int32_t url_id, const std::string& title);

}  // namespace vt
