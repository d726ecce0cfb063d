#include "platform/widgets/htmledit.h"

#include <algorithm>
#include <memory>

#include "platform/widgets/dialogs.h"

namespace vt::widgets {

namespace {

HtmlEdit::Responder& ResponderSlot() {
  static HtmlEdit::Responder responder;
  return responder;
}

std::chrono::milliseconds& ReplyTimeout() {
  static std::chrono::milliseconds timeout{5000};
  return timeout;
}

}  // namespace

bool HtmlEditRange::execCommand(const std::string& name, bool show_ui, const Json& value) {
  Json answer = edit_.Request("rangeExec", {{"name", name}, {"ui", show_ui}, {"value", value}});
  return answer.is_boolean() && answer.get<bool>();
}

Json HtmlEditRange::queryCommandValue(const std::string& name) {
  return edit_.Request("rangeValue", {{"name", name}});
}

Json HtmlEditDocument::Exec(int command, bool prompt, const Json& input) {
  return edit_.Request("exec", {{"command", command}, {"prompt", prompt}, {"input", input}});
}

std::uint32_t HtmlEditDocument::QueryStatus(int command) {
  Json answer = edit_.Request("status", {{"command", command}});
  return answer.is_number_unsigned() || answer.is_number_integer() ? answer.get<std::uint32_t>()
                                                                   : 0u;
}

HtmlEdit::HtmlEdit(std::string name, Control* parent)
    : Control("htmledit", std::move(name), parent), document_(*this) {}

HtmlEdit::~HtmlEdit() {
  // Requests still waiting further up the stack give up with no answer.
  for (Pending* p : pending_) p->answered = true;
  *alive_ = false;
}

void HtmlEdit::SetReplyTimeout(std::chrono::milliseconds timeout) {
  ReplyTimeout() = timeout;
}

HtmlEdit::ScopedResponder::ScopedResponder(Responder responder)
    : previous_(std::move(ResponderSlot())) {
  ResponderSlot() = std::move(responder);
}

HtmlEdit::ScopedResponder::~ScopedResponder() {
  ResponderSlot() = std::move(previous_);
}

void HtmlEdit::SetDocumentHTML(const std::string& html) {
  html_ = html;
  ++generation_;
  dirty_ = false;
  caret_ = Json();
  Changed();
}

void HtmlEdit::SetShowBorders(bool on) {
  if (show_borders_ == on) return;
  show_borders_ = on;
  Changed();
}

void HtmlEdit::ReportDocument(const std::string& html) {
  if (html == html_) return;
  html_ = html;
  dirty_ = true;
}

Json HtmlEdit::ExecCommand(int command, int option, const Json& input) {
  return Request("editorExec", {{"command", command}, {"option", option}, {"input", input}});
}

std::uint32_t HtmlEdit::QueryStatus(int command) {
  Json answer = Request("editorStatus", {{"command", command}});
  return answer.is_number_unsigned() || answer.is_number_integer() ? answer.get<std::uint32_t>()
                                                                   : 0u;
}

void HtmlEdit::ReportCaret(const Json& caret) {
  caret_ = caret.is_object() ? caret : Json();
}

bool HtmlEdit::FromCaret(const std::string& op, const Json& args, Json& value) const {
  if (!caret_.is_object()) return false;
  std::string key;
  if (op == "rangeValue") {
    key = args.value("name", "");
  } else if (op == "status" || op == "editorStatus") {
    key = op + ":" + std::to_string(args.value("command", 0));
  } else if (op == "editorExec" && args.value("command", 0) == kDecmdGetBlockFmt) {
    key = "blockFormat";
  }
  if (key.empty() || !caret_.contains(key)) return false;
  value = caret_[key];
  return true;
}

Json HtmlEdit::Request(const std::string& op, Json args) {
  Json value;
  if (FromCaret(op, args, value)) return value;
  // Commands that may change the document or the formatting; the rest only ask.
  const int number = args.value("command", 0);
  const bool command = (op == "exec" && number != kIdmGetBlockFmts) || op == "rangeExec" ||
                       (op == "editorExec" && number != kDecmdGetBlockFmt);
  if (command) caret_ = Json();  // the command may change the formatting at the caret
  Json answer = Ask(op, std::move(args));
  // Commands answer {"value": ..., "caret": {...}}.
  if (command && answer.is_object() && answer.contains("caret")) {
    if (answer.contains("html") && answer["html"].is_string()) {
      ReportDocument(answer["html"].get<std::string>());
    }
    ReportCaret(answer["caret"]);
    return answer.contains("value") ? answer["value"] : Json();
  }
  return answer;
}

Json HtmlEdit::Ask(const std::string& op, Json args) {
  if (auto& responder = ResponderSlot()) return responder(*this, op, args);
  if (!DisplayForModals()) return nullptr;
  Pending request{next_request_++, op, std::move(args), false, Json()};
  pending_.push_back(&request);
  Changed();
  const auto deadline = std::chrono::steady_clock::now() + ReplyTimeout();
  std::shared_ptr<bool> alive = alive_;
  RunModalLoop([&] { return request.answered || std::chrono::steady_clock::now() >= deadline; });
  if (!*alive) return nullptr;  // destroyed while it waited
  pending_.erase(std::remove(pending_.begin(), pending_.end(), &request), pending_.end());
  return request.answered ? request.answer : Json();
}

bool HtmlEdit::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "answer") {
    const auto id = input.value("request", std::int64_t{0});
    for (Pending* p : pending_) {
      if (p->id == id && !p->answered) {
        p->answered = true;
        p->answer = input.contains("value") ? input["value"] : Json();
        return true;
      }
    }
    return false;  // late or unknown: the request has given up
  }
  if (type == "document") {
    if (JsonInt(input, "generation", -1) != generation_) return false;  // an older document
    ReportDocument(JsonString(input, "html"));
    if (input.contains("caret")) ReportCaret(input["caret"]);
    return true;
  }
  if (type == "loaded") {
    if (JsonInt(input, "generation", -1) != generation_) return false;
    if (input.contains("caret")) ReportCaret(input["caret"]);
    Raise(OnDocumentComplete, *this);
    return true;
  }
  if (type == "selectionchange") {
    if (input.contains("caret")) ReportCaret(input["caret"]);
    Raise(OnSelectionChange, *this);
    return true;
  }
  return false;
}

void HtmlEdit::DescribeState(Json& out) const {
  out["html"] = html_;
  out["generation"] = generation_;
  out["showBorders"] = show_borders_;
  Json requests = Json::array();
  for (const Pending* p : pending_) {
    if (!p->answered) requests.push_back({{"id", p->id}, {"op", p->op}, {"args", p->args}});
  }
  out["requests"] = std::move(requests);
}

}  // namespace vt::widgets
