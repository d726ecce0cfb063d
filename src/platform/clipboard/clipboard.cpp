#include "platform/clipboard/clipboard.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <utility>

namespace vt::clipboard {
namespace {

constexpr UINT kFirstRegistered = 0xC000;

struct State {
  std::mutex mutex;
  std::vector<std::string> formats;  // registered names; number = kFirstRegistered + position
  ClipboardContents published;       // as of the last close
  std::vector<ClipboardEntry> working;
  bool open = false;
  bool changed = false;
  std::vector<std::pair<int, std::function<void(const ClipboardContents&)>>> observers;
  int next_observer = 1;
};

State& S() {
  static auto* state = new State();  // lives as long as the process
  return *state;
}

thread_local std::uint32_t t_error = 0;

bool Fail(std::uint32_t code) {
  t_error = code;
  return false;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

const std::string* ClipboardContents::Find(UINT format) const {
  for (const auto& e : entries) {
    if (e.format == format) return &e.data;
  }
  return nullptr;
}

UINT RegisterClipboardFormat(std::string_view name) {
  if (name.empty()) return 0;
  State& s = S();
  std::lock_guard lock(s.mutex);
  for (std::size_t i = 0; i < s.formats.size(); ++i) {
    if (SameName(s.formats[i], name)) return kFirstRegistered + static_cast<UINT>(i);
  }
  s.formats.emplace_back(name);
  return kFirstRegistered + static_cast<UINT>(s.formats.size() - 1);
}

std::string GetClipboardFormatName(UINT format) {
  if (format == CF_TEXT) return "CF_TEXT";
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (format < kFirstRegistered || format - kFirstRegistered >= s.formats.size()) return {};
  return s.formats[format - kFirstRegistered];
}

bool OpenClipboard() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (s.open) return Fail(ERROR_ACCESS_DENIED);
  s.open = true;
  s.changed = false;
  s.working = s.published.entries;
  return true;
}

bool EmptyClipboard() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.open) return Fail(ERROR_CLIPBOARD_NOT_OPEN);
  s.working.clear();
  s.changed = true;
  return true;
}

bool SetClipboardData(UINT format, std::string data) {
  if (format == 0) return Fail(ERROR_INVALID_PARAMETER);
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.open) return Fail(ERROR_CLIPBOARD_NOT_OPEN);
  auto it = std::find_if(s.working.begin(), s.working.end(),
                         [&](const ClipboardEntry& e) { return e.format == format; });
  if (it != s.working.end()) {
    it->data = std::move(data);
  } else {
    s.working.push_back({format, std::move(data)});
  }
  s.changed = true;
  return true;
}

bool CloseClipboard() {
  State& s = S();
  ClipboardContents contents;
  std::vector<std::function<void(const ClipboardContents&)>> observers;
  {
    std::lock_guard lock(s.mutex);
    if (!s.open) return Fail(ERROR_CLIPBOARD_NOT_OPEN);
    s.open = false;
    if (!s.changed) return true;
    s.published.entries = std::move(s.working);
    s.working.clear();
    ++s.published.sequence;
    contents = s.published;
    for (auto& [id, o] : s.observers) observers.push_back(o);
  }
  for (auto& o : observers) o(contents);
  return true;
}

bool IsClipboardOpen() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.open;
}

std::uint32_t GetClipboardError() {
  return t_error;
}

ClipboardContents LastContents() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.published;
}

DisplayClipboard ForDisplay(const ClipboardContents& contents) {
  DisplayClipboard out;
  out.sequence = contents.sequence;
  if (const std::string* block = contents.Find(RegisterClipboardFormat("HTML Format"))) {
    out.html = HtmlFragmentOf(*block);
  }
  if (const std::string* text = contents.Find(CF_TEXT)) out.text = *text;
  return out;
}

int AddClipboardObserver(std::function<void(const ClipboardContents&)> observer) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.observers.emplace_back(s.next_observer, std::move(observer));
  return s.next_observer++;
}

void RemoveClipboardObserver(int id) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::erase_if(s.observers, [&](const auto& o) { return o.first == id; });
}

void ResetClipboardForTests() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.published = {};
  s.working.clear();
  s.open = false;
  s.changed = false;
  s.observers.clear();
}

}  // namespace vt::clipboard
