#pragma once
// The one page template that every generated page is wrapped in, the script prefix for mark-up
// written straight into a browser document, and the address of a stored snippet's view.
// Plain functions on the UI thread; none of them fails.
#include <string>
#include <string_view>

namespace vt {

class TmyDOM;

// The error-suppressing script that every generated page carries.
inline constexpr std::string_view kErrorScript =
    "<script language=JavaScript>function stopVTError() {return true;} window.onerror = "
    "stopVTError;</script>";

// The complete page around `content`: head with the cache pragma, the title ("Vellumtrace" when
// empty; otherwise escaped as text), the style sheet AppDir + "Vellumtrace.css" linked by a file:
// address, the error script; then a base element when `base_url` is not empty; then the body. The
// session is not used (it may be null). The program-wide AppDir is read at each call.
std::string WrapInPageTemplate(TmyDOM* session, std::string_view content, std::string_view title,
                               std::string_view base_url);

// The same page with the folder of the style sheet given explicitly (a folder ending with "/").
std::string WrapInPageTemplateFor(std::string_view app_dir, std::string_view content,
                                  std::string_view title, std::string_view base_url);

// Plain text made safe as element content: "&", "<" and ">" become character references.
// Titles, snippet names and addresses shown as text go through it.
std::string EscapeHtmlText(std::string_view text);

// The error script followed directly by `markup`.
std::string PrependErrorScript(TmyDOM* session, std::string_view markup);

// The style sheet's address for a program folder: "file:" directly followed by the folder and
// "Vellumtrace.css". Characters that would change what the address names ('%', '#', '?', '"',
// blanks and control characters) are percent-encoded; the folder is used as it is otherwise.
std::string StyleSheetUrl(std::string_view app_dir);

}  // namespace vt
