#pragma once
// The user's help page: one HTML file in the program folder that explains the band. The install
// step writes it; the band's Help commands open it in a new browser window, at the section of the
// control they were given (its context number) or at the contents.
#include <string>

namespace vt::storage {

// File name of the help page inside the program folder.
inline constexpr char kHelpPageName[] = "Vellumtrace-help.html";

// Context numbers of the band's controls; 0 is the contents.
inline constexpr int kHelpContents = 0;
inline constexpr int kHelpFilterTree = 1005;
inline constexpr int kHelpSnippetTree = 2000;
inline constexpr int kHelpCandidateList = 3000;

// The element id of a context's section: "contents" for 0, else "context-" and the number.
std::string HelpSectionId(int context);

// The whole page, UTF-8.
const std::string& HelpPageHtml();

}  // namespace vt::storage
