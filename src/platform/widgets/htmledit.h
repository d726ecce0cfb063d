#pragma once
// The HTML edit control: one whole HTML document edited as rich text. The control holds the
// document's text; the display draws it as an editable document in which no script runs and
// carries the editing commands out there, where a real editing engine lives.
//
// Commands and queries go to the display as requests and wait for its answer in a nested
// message loop, as modal dialogs do (at most the reply timeout). Whenever the user or a command
// changes the document, the display sends the new text back and the control becomes dirty.
//
// The formatting at the caret: with every selection change and with the answer to every command
// the display sends the values of the usual queries (the caret state). Queries it holds are
// answered from it until the next command, so refreshing a tool bar costs no round trips. Its
// keys: the query names ("Bold", "FontSize" ...), "status:<command>" for the document's statuses,
// "editorStatus:<command>" for the control's, and "blockFormat".
// Without a display, and without a responder installed by a test, every command answers
// "not supported": queries give null and statuses 0.
//
// UI thread only. Numbered commands keep the numbers of the editing engine the system was
// written for (see HtmlEditCommand and EditorCommand below).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

// Status bits answered by QueryStatus.
constexpr std::uint32_t kCmdfSupported = 0x1;
constexpr std::uint32_t kCmdfEnabled = 0x2;
constexpr std::uint32_t kCmdfLatched = 0x4;

// The control's own commands (ExecCommand / QueryStatus).
enum EditorCommand : int {
  kDecmdCopy = 5002,
  kDecmdCut = 5003,
  kDecmdGetBlockFmt = 5011,
  kDecmdPaste = 5032,
};

// The document's commands (HtmlEditDocument::Exec / QueryStatus).
enum HtmlEditCommand : int {
  kIdmRedo = 29,
  kIdmUndo = 43,
  kIdmHorizontalLine = 2150,
  kIdmImage = 2168,
  kIdmOrderList = 2184,
  kIdmUnorderList = 2185,
  kIdmIndent = 2186,
  kIdmOutdent = 2187,
  kIdmGetBlockFmts = 2233,
  kIdmBlockFmt = 2234,
};

class HtmlEdit;

// The selection's text range: execCommand / queryCommandValue by command name ("Bold",
// "FontSize", "ForeColor", "JustifyCenter" ...). Values are JSON: booleans, numbers, text or
// null (for example "FontSize" over a selection of mixed sizes).
class HtmlEditRange {
 public:
  explicit HtmlEditRange(HtmlEdit& edit) : edit_(edit) {}
  bool execCommand(const std::string& name, bool show_ui, const Json& value);
  Json queryCommandValue(const std::string& name);

 private:
  HtmlEdit& edit_;
};

// The edited document: its numbered commands and the selection.
class HtmlEditDocument {
 public:
  explicit HtmlEditDocument(HtmlEdit& edit) : edit_(edit) {}
  // Runs a numbered command; `prompt` lets the display ask the user (the image's address).
  // Answers the command's output (the block-format names for kIdmGetBlockFmts), null otherwise.
  Json Exec(int command, bool prompt, const Json& input = nullptr);
  std::uint32_t QueryStatus(int command);
  HtmlEditRange SelectionRange() { return HtmlEditRange(edit_); }

 private:
  HtmlEdit& edit_;
};

class HtmlEdit : public Control {
 public:
  explicit HtmlEdit(std::string name, Control* parent = nullptr);
  ~HtmlEdit() override;

  // The whole document. Setting it loads a new document (the display reports it complete) and
  // clears the dirty flag.
  const std::string& DocumentHTML() const { return html_; }
  void SetDocumentHTML(const std::string& html);
  bool IsDirty() const { return dirty_; }
  void MarkClean() { dirty_ = false; }  // the document as it stands has been stored
  bool ShowBorders() const { return show_borders_; }
  void SetShowBorders(bool on);

  HtmlEditDocument& DOM() { return document_; }
  Json ExecCommand(int command, int option = 0, const Json& input = nullptr);
  std::uint32_t QueryStatus(int command);

  // Raised when the display has the document loaded and editable.
  NotifyEvent OnDocumentComplete;
  // Raised after a click or a key release in the document.
  NotifyEvent OnSelectionChange;

  // How long a request waits for the display before it answers null.
  static void SetReplyTimeout(std::chrono::milliseconds timeout);

  // Tests: answers requests in place of a display while the object lives. The responder gets the
  // operation ("exec", "status", "rangeExec", "rangeValue", "editorExec", "editorStatus") and its
  // arguments and returns the answer; it may change the document through ReportDocument.
  using Responder = std::function<Json(HtmlEdit& edit, const std::string& op, const Json& args)>;
  class ScopedResponder {
   public:
    explicit ScopedResponder(Responder responder);
    ~ScopedResponder();
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;

   private:
    Responder previous_;
  };
  // What the display reports: the document as it now stands (marks it dirty when it differs),
  // and the caret state.
  void ReportDocument(const std::string& html);
  void ReportCaret(const Json& caret);

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  friend class HtmlEditDocument;
  friend class HtmlEditRange;
  Json Request(const std::string& op, Json args);
  Json Ask(const std::string& op, Json args);
  bool FromCaret(const std::string& op, const Json& args, Json& value) const;

  struct Pending {
    std::int64_t id;
    std::string op;
    Json args;
    bool answered = false;
    Json answer;
  };
  std::string html_;
  std::int64_t generation_ = 0;  // bumped by each SetDocumentHTML
  bool dirty_ = false;
  bool show_borders_ = false;
  Json caret_;  // null when unknown or stale
  HtmlEditDocument document_;
  std::vector<Pending*> pending_;  // requests waiting on the stack, oldest first
  std::int64_t next_request_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vt::widgets
