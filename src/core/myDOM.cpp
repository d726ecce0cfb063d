// The page session: life cycle, the session list, status texts and document source.
#include "core/myDOM.h"

#include <sstream>
#include <vector>

#include "core/BrowserEvents.h"
#include "platform/ado/query.h"
#include "platform/dom/document.h"
#include "platform/msgloop/unwind.h"
#include "platform/widgets/indicators.h"

namespace vt {
namespace {

std::vector<TmyDOM*>& Sessions() {
  static std::vector<TmyDOM*> sessions;
  return sessions;
}

TmyDOM*& Current() {
  static TmyDOM* current = nullptr;
  return current;
}

// Splits text into lines (CR LF, LF or a lone CR end a line) and writes each back with CR LF.
std::string NormalizeLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    if (end == text.size()) {
      out.append(text, i, std::string::npos);
      out += "\r\n";
      break;
    }
    out.append(text, i, end - i);
    out += "\r\n";
    i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return out;
}

}  // namespace

TmyDOM::TmyDOM(BrowserRef browser) : Browser(std::move(browser)) {}

TmyDOM::~TmyDOM() {
  // A document may still hold the sinks: they must not call into a freed session.
  for (const DispatchRef& sink : {ClickSink, MouseMoveSink}) {
    if (auto* s = dynamic_cast<TBrowserEventSink*>(sink.get())) s->ClearNotification();
  }
  auto& sessions = Sessions();
  for (auto& slot : sessions) {
    if (slot == this) slot = nullptr;
  }
  if (Current() == this) Current() = nullptr;
}

void TmyDOM::InitSession(PopupMenuRef popup_menu, ConnectionRef connection, StatusBarRef status_bar,
                         BusyLedRef busy_led) {
  PopupMenu = popup_menu;
  Connection = connection;
  StatusBar = status_bar;
  BusyLed = busy_led;
  SelectedIndex = -1;
  for (int p = 0; p < kEntrySlots - 1; ++p) {
    if (!Entries[p]) Entries[p] = std::make_unique<Tnode>();
  }
  NeutralBorderWidth = "0px";
  NeutralBorderColor = "#E0E0E0";
  NeutralBorderStyle = "Solid";
  MouseBorderWidth = "1px";
  MouseBorderColor = "#606060";
  MouseBorderStyle = "solid";
  SelectedBorder = "solid red 2px";
  Status = kStatusNoData;
  if (connection) Query = std::make_shared<ado::Query>(connection);
}

void TmyDOM::ReleaseSession() {
  if (released_) return;
  released_ = true;
  if (Parsing) CancelRequested = true;
  DetachControls();
  Query.reset();
  msgloop::DeleteWhenUnwound(this);
}

void TmyDOM::DetachControls() {
  PopupMenu = nullptr;
  StatusBar = nullptr;
  BusyLed = nullptr;
  FilterTree = nullptr;
  SnippetTree = nullptr;
  FilterPreview = nullptr;
  SnippetPreview = nullptr;
  BeforeNewWindow = nullptr;
}

Tnode* TmyDOM::Entry(int position) {
  if (position < 0 || position >= kEntrySlots - 1) return nullptr;
  return Entries[position].get();
}

void TmyDOM::SetStatusText(const std::string& text) {
  try {
    if (!StatusBar || StatusBar->PanelCount() == 0) return;
    StatusBar->SetPanelText(0, text);
  } catch (...) {
    // The status bar is only a report; a failure to write it changes nothing.
  }
}

void TmyDOM::LogError(const std::exception& error, const std::string& where) {
  LogError(std::string(error.what()), where);
}

void TmyDOM::LogError(const std::string& message, const std::string& where) {
  SetStatusText(where + " ERROR : " + message);
}

DocumentRef TmyDOM::GetFrameDocument(const DocumentRef& document, int frame_number) {
  if (frame_number <= 0 || !document) return document;
  const auto& frames = document->frames();
  if (static_cast<std::size_t>(frame_number - 1) >= frames.size()) return nullptr;
  const auto& window = frames[static_cast<std::size_t>(frame_number - 1)];
  return window ? window->document() : nullptr;
}

void TmyDOM::WriteHtmlToDocument(const DocumentRef& document, const std::string& html) {
  if (!document) return;
  try {
    document->LoadSource(NormalizeLineBreaks(html));
  } catch (const std::exception& e) {
    LogError(e, "wb write");
  }
}

std::string TmyDOM::GetDocumentSource(const DocumentRef& document) {
  if (!document) return {};
  return NormalizeLineBreaks(document->Save(true));
}

int SessionList::Add(TmyDOM* session) {
  auto& sessions = Sessions();
  const int n = sessions.empty() ? 0 : static_cast<int>(sessions.size()) - 1;
  sessions.resize(static_cast<std::size_t>(n) + 2, nullptr);
  sessions[static_cast<std::size_t>(n)] = session;
  if (session) session->WindowNumber = n;
  return n;
}

void SessionList::Remove(int window_number) {
  auto& sessions = Sessions();
  if (window_number >= 0 && static_cast<std::size_t>(window_number) < sessions.size()) {
    sessions[static_cast<std::size_t>(window_number)] = nullptr;
  }
}

TmyDOM* SessionList::At(int window_number) {
  auto& sessions = Sessions();
  if (window_number < 0 || static_cast<std::size_t>(window_number) >= sessions.size()) {
    return nullptr;
  }
  return sessions[static_cast<std::size_t>(window_number)];
}

int SessionList::Count() {
  return static_cast<int>(Sessions().size());
}

void SessionList::ResetForTests() {
  Sessions().clear();
}

TmyDOM* CurrentSession() {
  return Current();
}
void SetCurrentSession(TmyDOM* session) {
  Current() = session;
}

}  // namespace vt
