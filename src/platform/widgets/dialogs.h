#pragma once
// Forms, modal showing and message boxes.
//
// A modal form is shown through the process's modal presenter:
// - without a display (the default) a message box prints itself to stderr and answers its default
//   button, and any other form closes at once with ModalResult::Cancel;
// - with a display (UseDisplayForModals) ShowModal runs a nested message loop until the display
//   closes the form (input "close" or a button with a modal result);
// - tests install a ScopedModalScript that plays the user's part.

#include <functional>
#include <string>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

// Numeric values are those of the dialog answers the system has always used.
enum class ModalResult {
  None = 0,
  Ok = 1,
  Cancel = 2,
  Abort = 3,
  Retry = 4,
  Ignore = 5,
  Yes = 6,
  No = 7
};

const char* ModalResultName(ModalResult result);           // "ok", "cancel", "yes" ...
ModalResult ModalResultFromName(const std::string& name);  // None when unknown

class Form : public Control {
 public:
  explicit Form(std::string name, Control* parent = nullptr);
  ~Form() override;

  // Shows the form and returns when it closes. Throws std::logic_error when it is already modal.
  ModalResult ShowModal();
  bool Modal() const { return modal_; }
  ModalResult GetModalResult() const { return modal_result_; }
  // Closes the form: a modal one returns `result` from ShowModal (None counts as Cancel);
  // OnCloseQuery may refuse, and then this returns false and nothing changes.
  bool Close(ModalResult result = ModalResult::Cancel);
  void SetModalResult(ModalResult result);  // a modal form closes with it (no close query)
  // Enter presses the form's default button, Escape its cancel button; false when it has none.
  bool DialogKey(Key key);

  NotifyEvent OnShow;
  NotifyEvent OnActivate;
  std::function<void(Form& sender, bool& can_close)> OnCloseQuery;
  NotifyEvent OnClose;

 protected:
  Form(std::string kind, std::string name, Control* parent);
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  // What the form does when no display answers it; message boxes answer their default button.
  virtual void CloseHeadless();

 private:
  bool modal_ = false;
  ModalResult modal_result_ = ModalResult::None;
};

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };

class MessageDialog : public Form {
 public:
  MessageDialog(std::string text, std::string caption, MessageIcon icon, MessageButtons buttons,
                ModalResult default_button = ModalResult::None);
  const std::string& Text() const { return text_; }
  MessageIcon Icon() const { return icon_; }
  MessageButtons Buttons() const { return buttons_; }
  ModalResult DefaultButton() const { return default_; }
  std::vector<ModalResult> Answers() const;  // the buttons, in display order
  // Answers with one of its buttons; false (and nothing happens) for a button it does not have.
  bool Answer(ModalResult button);

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void CloseHeadless() override;

 private:
  std::string text_;
  MessageIcon icon_;
  MessageButtons buttons_;
  ModalResult default_;
};

// Shows a message box modally and returns the answer. The default button is the first one
// unless given.
ModalResult MessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons, ModalResult default_button = ModalResult::None);

// Every message box shown, most recent last (the last 100 are kept), with its answer.
struct ShownMessage {
  std::string caption;
  std::string text;
  MessageIcon icon;
  MessageButtons buttons;
  ModalResult answer;
};
const std::vector<ShownMessage>& MessageLog();
void ClearMessageLog();

// The innermost form shown modally, nullptr when none. While one is shown, display input reaches
// only its own controls and popup menus (AcceptsInputUnderModal); timers keep running.
Form* ActiveModalForm();
bool AcceptsInputUnderModal(const Control& control);

// With a display attached, modal forms wait in a nested message loop for the display's answer.
void UseDisplayForModals(bool on);
bool DisplayForModals();

// Runs the nested loop until `done` answers true. Set by the message loop's owner; the
// default processes nothing and returns at once.
using ModalLoop = std::function<void(const std::function<bool()>& done)>;
void SetModalLoop(ModalLoop loop);
void RunModalLoop(const std::function<bool()>& done);

// Tests: `script` receives each form shown modally while this object lives and should close it
// (Close, Answer, SetModalResult). A form the script leaves open closes with Cancel.
class ScopedModalScript {
 public:
  explicit ScopedModalScript(std::function<void(Form&)> script);
  ~ScopedModalScript();
  ScopedModalScript(const ScopedModalScript&) = delete;
  ScopedModalScript& operator=(const ScopedModalScript&) = delete;

 private:
  std::function<void(Form&)> previous_;
};

// Tests: answers message boxes in turn with `answers` (then the default button), recording them.
class ScriptedAnswers {
 public:
  explicit ScriptedAnswers(std::vector<ModalResult> answers);
  const std::vector<ShownMessage>& Shown() const { return shown_; }

 private:
  std::vector<ModalResult> answers_;
  std::vector<ShownMessage> shown_;
  size_t next_ = 0;
  ScopedModalScript script_;
};

}  // namespace vt::widgets
