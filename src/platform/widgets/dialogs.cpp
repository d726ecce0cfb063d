#include "platform/widgets/dialogs.h"

#include <algorithm>
#include <deque>
#include <iostream>
#include <stdexcept>

#include "platform/msgloop/message_loop.h"
#include "platform/widgets/menu.h"
#include "platform/widgets/standard.h"

namespace vt::widgets {
namespace {

struct ModalState {
  bool display = false;
  ModalLoop loop;
  std::function<void(Form&)> script;
  std::vector<ShownMessage> log;
  std::vector<ControlId> modal_stack;  // forms shown modally, innermost last
};

ModalState& State() {
  static ModalState state;
  return state;
}

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return "none";
    case MessageIcon::Error:
      return "error";
    case MessageIcon::Warning:
      return "warning";
    case MessageIcon::Information:
      return "information";
    case MessageIcon::Question:
      return "question";
  }
  return "none";
}

}  // namespace

const char* ModalResultName(ModalResult result) {
  switch (result) {
    case ModalResult::None:
      return "none";
    case ModalResult::Ok:
      return "ok";
    case ModalResult::Cancel:
      return "cancel";
    case ModalResult::Abort:
      return "abort";
    case ModalResult::Retry:
      return "retry";
    case ModalResult::Ignore:
      return "ignore";
    case ModalResult::Yes:
      return "yes";
    case ModalResult::No:
      return "no";
  }
  return "none";
}

ModalResult ModalResultFromName(const std::string& name) {
  for (int i = 1; i <= 7; ++i) {
    auto r = static_cast<ModalResult>(i);
    if (name == ModalResultName(r)) return r;
  }
  return ModalResult::None;
}

// ---- Form ----

Form::Form(std::string name, Control* parent) : Form("form", std::move(name), parent) {}

Form::Form(std::string kind, std::string name, Control* parent)
    : Control(std::move(kind), std::move(name), parent) {
  SetVisible(false);
}

Form::~Form() = default;

ModalResult Form::ShowModal() {
  if (modal_) throw std::logic_error("Cannot make a visible window modal");
  modal_ = true;
  modal_result_ = ModalResult::None;
  State().modal_stack.push_back(Id());
  SetVisible(true);
  Changed();
  Raise(OnShow, *this);
  Raise(OnActivate, *this);
  if (modal_result_ == ModalResult::None) {
    auto& state = State();
    if (state.script) {
      auto script = state.script;  // the script may replace itself
      script(*this);
    } else if (state.display) {
      RunModalLoop([this] { return modal_result_ != ModalResult::None; });
    } else {
      CloseHeadless();
    }
    // Nobody answered (a script that left the form open, a loop that ended early).
    if (modal_result_ == ModalResult::None) modal_result_ = ModalResult::Cancel;
  }
  auto& stack = State().modal_stack;
  stack.erase(std::remove(stack.begin(), stack.end(), Id()), stack.end());
  modal_ = false;
  SetVisible(false);
  Changed();
  Raise(OnClose, *this);
  return modal_result_;
}

void Form::CloseHeadless() {
  std::cerr << Caption() << ": shown without a display, cancelled\n";
  modal_result_ = ModalResult::Cancel;
}

bool Form::Close(ModalResult result) {
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(*this, can_close);
  if (!can_close) return false;
  if (modal_) {
    modal_result_ = result == ModalResult::None ? ModalResult::Cancel : result;
  } else {
    modal_result_ = result;
    SetVisible(false);
    Raise(OnClose, *this);
  }
  return true;
}

void Form::SetModalResult(ModalResult result) {
  modal_result_ = result;
  Changed();
}

void Form::DescribeState(Json& out) const {
  out["modal"] = modal_;
  out["modalResult"] = ModalResultName(modal_result_);
}

namespace {
Button* FindDialogButton(Control& c, Key key) {
  for (Control* child : c.Children()) {
    if (auto* b = dynamic_cast<Button*>(child)) {
      if (b->CanFocus() &&
          ((key == Key::Enter && b->Default()) || (key == Key::Escape && b->Cancel())))
        return b;
    }
    if (dynamic_cast<Form*>(child)) continue;
    if (Button* b = FindDialogButton(*child, key)) return b;
  }
  return nullptr;
}
}  // namespace

bool Form::DialogKey(Key key) {
  if (key != Key::Enter && key != Key::Escape) return false;
  Button* b = FindDialogButton(*this, key);
  if (!b) return false;
  b->Click();
  return true;
}

bool Form::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "close") return false;
  ModalResult result = ModalResultFromName(JsonString(input, "result", "cancel"));
  Close(result == ModalResult::None ? ModalResult::Cancel : result);
  return true;
}

// ---- MessageDialog ----

MessageDialog::MessageDialog(std::string text, std::string caption, MessageIcon icon,
                             MessageButtons buttons, ModalResult default_button)
    : Form("messagebox", "MessageBox", nullptr),
      text_(std::move(text)),
      icon_(icon),
      buttons_(buttons),
      default_(default_button) {
  SetCaption(caption);
  auto answers = Answers();
  bool known = false;
  for (auto a : answers) known = known || a == default_;
  if (!known) default_ = answers.front();
}

std::vector<ModalResult> MessageDialog::Answers() const {
  using R = ModalResult;
  switch (buttons_) {
    case MessageButtons::Ok:
      return {R::Ok};
    case MessageButtons::OkCancel:
      return {R::Ok, R::Cancel};
    case MessageButtons::YesNo:
      return {R::Yes, R::No};
    case MessageButtons::YesNoCancel:
      return {R::Yes, R::No, R::Cancel};
    case MessageButtons::AbortRetryIgnore:
      return {R::Abort, R::Retry, R::Ignore};
    case MessageButtons::RetryCancel:
      return {R::Retry, R::Cancel};
  }
  return {R::Ok};
}

bool MessageDialog::Answer(ModalResult button) {
  for (auto a : Answers()) {
    if (a == button) return Close(button);
  }
  return false;
}

void MessageDialog::DescribeState(Json& out) const {
  Form::DescribeState(out);
  out["text"] = text_;
  out["icon"] = IconName(icon_);
  Json buttons = Json::array();
  for (auto a : Answers()) buttons.push_back(ModalResultName(a));
  out["buttons"] = std::move(buttons);
  out["default"] = ModalResultName(default_);
}

bool MessageDialog::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "answer") return Answer(ModalResultFromName(JsonString(input, "button")));
  if (type == "close") {
    // The window's close box answers Cancel where there is one, OK on a lone OK button;
    // boxes that demand a choice stay open.
    auto answers = Answers();
    for (auto a : answers) {
      if (a == ModalResult::Cancel) return Answer(a);
    }
    if (answers.size() == 1) return Answer(answers.front());
    return false;
  }
  return false;
}

void MessageDialog::CloseHeadless() {
  std::cerr << Caption() << ": " << text_ << " [" << ModalResultName(default_) << "]\n";
  Answer(default_);
}

ModalResult MessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons, ModalResult default_button) {
  MessageDialog box(text, caption, icon, buttons, default_button);
  ModalResult answer = box.ShowModal();
  auto& log = State().log;
  if (log.size() >= 100) log.erase(log.begin());
  log.push_back({caption, text, icon, buttons, answer});
  return answer;
}

Form* ActiveModalForm() {
  auto& stack = State().modal_stack;
  while (!stack.empty()) {
    if (auto* f = dynamic_cast<Form*>(FindControl(stack.back()))) return f;
    stack.pop_back();
  }
  return nullptr;
}

bool AcceptsInputUnderModal(const Control& control) {
  Form* modal = ActiveModalForm();
  if (!modal) return true;
  const Control* top = &control;
  for (const Control* c = &control; c; c = c->Parent()) {
    if (c == modal) return true;
    top = c;
  }
  // Menus float above every window; one opened from the dialog must work.
  return dynamic_cast<const PopupMenu*>(top) != nullptr;
}

const std::vector<ShownMessage>& MessageLog() {
  return State().log;
}
void ClearMessageLog() {
  State().log.clear();
}

void UseDisplayForModals(bool on) {
  State().display = on;
}
bool DisplayForModals() {
  return State().display;
}

void SetModalLoop(ModalLoop loop) {
  State().loop = std::move(loop);
}

void RunModalLoop(const std::function<bool()>& done) {
  if (done()) return;
  if (State().loop) {
    State().loop(done);
    return;
  }
  // The UI loop: wait for the display's input (posted from its socket threads) and run it.
  // Something waiting that ProcessMessages leaves alone is a quit request of an outer loop: the
  // program is closing, so the modal form gives up (and closes as Cancel).
  auto& loop = msgloop::UiLoop();
  while (!done()) {
    bool waiting = loop.WaitMessage(msgloop::Milliseconds(250));
    int ran = loop.ProcessMessages();
    if (waiting && ran == 0 && loop.WaitMessage(msgloop::Milliseconds(0))) return;
  }
}

ScopedModalScript::ScopedModalScript(std::function<void(Form&)> script)
    : previous_(std::move(State().script)) {
  State().script = std::move(script);
}

ScopedModalScript::~ScopedModalScript() {
  State().script = std::move(previous_);
}

ScriptedAnswers::ScriptedAnswers(std::vector<ModalResult> answers)
    : answers_(std::move(answers)), script_([this](Form& form) {
        auto* box = dynamic_cast<MessageDialog*>(&form);
        if (!box) return;
        ModalResult answer = next_ < answers_.size() ? answers_[next_++] : box->DefaultButton();
        shown_.push_back({box->Caption(), box->Text(), box->Icon(), box->Buttons(), answer});
        box->Answer(answer);
      }) {}

}  // namespace vt::widgets
