#pragma once
// The user's mail program, in place of Simple MAPI's MAPISendMail: a new message in the program's
// compose window with a subject, an optional body and one optional attachment, and no recipient
// (the user chooses them there).
//
// The program is the one the environment variable VELLUMTRACE_MAILER names, else `xdg-email`,
// looked up on PATH unless the name holds a "/". It is started without a shell, with
//   --subject TEXT [--body TEXT] [--attach PATH]
// as `xdg-email` takes them (an empty subject is passed as an empty argument; an empty body or
// attachment path is left out), its standard input, output and error on /dev/null, and none of
// the process's other files open. SendMail waits for it to return, so the attachment may be
// deleted afterwards; meanwhile, on the UI thread, it lets the message loop run, as a compose
// dialog does.

#include <cstdint>
#include <string>

namespace vt::mail {

using ULONG = std::uint32_t;

// The result codes of Simple MAPI that SendMail answers.
inline constexpr ULONG SUCCESS_SUCCESS = 0;
inline constexpr ULONG MAPI_E_FAILURE = 2;
inline constexpr ULONG MAPI_E_ATTACHMENT_NOT_FOUND = 11;
inline constexpr ULONG MAPI_E_NOT_SUPPORTED = 26;

// Opens the compose window. SUCCESS_SUCCESS when the program returned 0; MAPI_E_NOT_SUPPORTED
// when there is no mail program (nothing is shown; `xdg-email` answering that it found no tool
// counts as none); MAPI_E_ATTACHMENT_NOT_FOUND when `attachment` names no readable file (nothing
// is started); MAPI_E_FAILURE when the program could not be started or failed. Never throws.
ULONG SendMail(const std::string& subject, const std::string& body, const std::string& attachment);

// The program SendMail calls: VELLUMTRACE_MAILER when it is set and not empty, else "xdg-email".
std::string MailProgram();

}  // namespace vt::mail
