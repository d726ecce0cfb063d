#pragma once
// The clipboard, in place of the Windows clipboard: entries of numbered formats, opened, emptied,
// filled and closed as there. There is no desktop clipboard behind it; the process keeps what
// the last CloseClipboard left, and the display hands that to the desktop clipboard of the user's
// browser ("HTML Format" as text/html, the plain text as text/plain; see ForDisplay).
//
// Calls that fail answer false and leave a Windows error code in GetClipboardError().
// Threads: the UI thread opens, fills and closes; LastContents and the observers may be read from
// any thread (the contents are copied under a lock).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::clipboard {

using UINT = std::uint32_t;

// Standard formats.
inline constexpr UINT CF_TEXT = 1;

// Error codes (the Windows values).
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;       // already open
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;  // format 0
inline constexpr std::uint32_t ERROR_CLIPBOARD_NOT_OPEN = 1418;

// The number of a named format: the same number for the same name (letter case ignored), from
// 0xC000 up, kept for the life of the process; 0 for an empty name.
UINT RegisterClipboardFormat(std::string_view name);
// The name a format was registered with, "CF_TEXT" for CF_TEXT; "" for an unknown number.
std::string GetClipboardFormatName(UINT format);

// Opens the clipboard for this caller; false (ERROR_ACCESS_DENIED) while it is open already.
bool OpenClipboard();
// Removes every entry; the clipboard must be open.
bool EmptyClipboard();
// Puts `data` under `format`, replacing an entry of that format; the clipboard must be open.
bool SetClipboardData(UINT format, std::string data);
// Closes the clipboard; observers hear of the contents when they changed while it was open.
bool CloseClipboard();
bool IsClipboardOpen();
// The error code of the last call that failed on this thread.
std::uint32_t GetClipboardError();

struct ClipboardEntry {
  UINT format = 0;
  std::string data;
};

// What the clipboard holds, entries in the order they were set.
struct ClipboardContents {
  std::vector<ClipboardEntry> entries;
  std::uint64_t sequence = 0;  // grows with every change that a close published
  // The data of `format`, or null.
  const std::string* Find(UINT format) const;
};

// The contents as of the last CloseClipboard.
ClipboardContents LastContents();

// The two entries as the display hands them to the desktop: the fragment of the "HTML Format"
// entry as text/html and the CF_TEXT entry as text/plain ("" when absent).
struct DisplayClipboard {
  std::string html;
  std::string text;
  std::uint64_t sequence = 0;
};
DisplayClipboard ForDisplay(const ClipboardContents& contents);

// Called after a CloseClipboard that changed the contents, on the thread that closed it. Answers
// an id for RemoveClipboardObserver.
int AddClipboardObserver(std::function<void(const ClipboardContents&)> observer);
void RemoveClipboardObserver(int id);

// Forgets the contents, the open state and the observers (tests).
void ResetClipboardForTests();

// The "HTML Format" block of `html`: the lines "Version:0.9", "StartHTML:-1", "EndHTML:-1",
// "StartFragment:" and "EndFragment:" with their offsets, each ending in CR LF, then `html` and
// one more CR LF. Offsets count characters (UTF-8 sequences; a stray byte counts as one): the
// fragment begins at StartFragment (81, after the five lines) and ends at EndFragment, the length
// of the whole block, written with at least six digits. For "abc": 86 characters ending
// "EndFragment:000086\r\nabc\r\n". A block of a million characters or more takes a longer
// EndFragment line, and StartFragment then counts it, so that both offsets stay true.
std::string BuildClipboardHtml(std::string_view html);

// The fragment of an "HTML Format" block (its offsets read from the header); the whole text after
// the header when the offsets are missing or out of range.
std::string HtmlFragmentOf(std::string_view block);

}  // namespace vt::clipboard
