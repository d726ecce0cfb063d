// Diagnostics that the display tests read: document event sinks that record each call, the
// selection of a document, opening a window as the system does. Reached only when the server runs
// with its debug routes (VT_TEST_HOOKS=1).
#include <chrono>
#include <stdexcept>

#include "platform/com/dispatch.h"
#include "platform/dom/document.h"
#include "platform/widgets/dialogs.h"
#include "shell/shell.h"
#include "shell/test_hooks.h"

#if VT_SHELL_HAVE_CORE
#include "core/myDOM.h"
#endif

namespace vt::shell {
using nlohmann::json;

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

json ParseBody(const std::string& body) {
  json j = json::parse(body, nullptr, false);
  return j.is_object() ? j : json::object();
}

}  // namespace

std::string Shell::Debug(const std::string& what, const std::string& body) {
  if (!options_.test_hooks) throw std::runtime_error("test hooks are off");
  if (!test_hooks_) test_hooks_ = std::make_unique<TestHooks>();
  TestHooks& hooks = *test_hooks_;
  json args = ParseBody(body);

  if (what == "attach") {  // {"browser": id}: records onmousemove and onclick of its document
    browser::WebBrowser* b = browser::WebBrowser::FromId(args.value("browser", 0));
    auto document = b ? b->Document() : nullptr;
    if (!document) return json{{"attached", false}}.dump();
    std::weak_ptr<dom::Document> weak = document;
    int browser_id = b->Id();
    for (const char* name : {"onmousemove", "onclick"}) {
      std::string event_name = name;
      auto sink =
          com::MakeCom<com::DispatchSink>([calls = hooks.calls, weak, event_name, browser_id](
                                              com::DISPID, com::DISPPARAMS*, com::VARIANT*) {
            auto doc = weak.lock();
            json call = {{"event", event_name}, {"browser", browser_id}, {"t", NowMs()}};
            const auto& event = doc ? doc->parentWindow()->event() : nullptr;
            if (event && event->srcElement) {
              call["si"] = event->srcElement->sourceIndex();
              call["tag"] = event->srcElement->tagName();
              call["id"] = event->srcElement->id();
              call["text"] = event->srcElement->innerText();
            } else {
              call["si"] = nullptr;
            }
            calls->push_back(std::move(call));
            return com::S_OK;
          });
      document->attachEvent(name, sink.get());
      hooks.sinks.emplace_back(weak, com::ComPtr<com::IDispatch>(sink.get()));
    }
    return json{{"attached", true}}.dump();
  }
  if (what == "calls") {
    json answer = {{"calls", *hooks.calls}, {"now", NowMs()}};
    if (args.value("clear", false)) *hooks.calls = json::array();
    return answer.dump();
  }
  if (what == "selection") {
    browser::WebBrowser* b = browser::WebBrowser::FromId(args.value("browser", 0));
    auto document = b ? b->Document() : nullptr;
    if (!document) return json{{"type", nullptr}}.dump();
    auto range = document->selection().createRange();
    return json{{"type", document->selection().type()}, {"text", range ? range->text() : ""}}
        .dump();
  }
  if (what == "open") {  // {"url": ...}: a new window as the system's commands open one
    std::string url = args.value("url", std::string("about:blank"));
#if VT_SHELL_HAVE_CORE
    TmyDOM session;
    session.OpenInNewWindow(url);
#else
    com::ComPtr<browser::WebBrowser> w = browser::CreateBrowserWindow();
    w->SetWidth(700);
    w->SetHeight(465);
    w->SetLeft((browser::Screen::Width() - w->Width()) / 2);
    w->SetTop((browser::Screen::Height() - w->Height()) / 2);
    w->SetVisible(true);
    w->Navigate(url);
#endif
    json windows = json::array();
    for (auto* w : Windows()) windows.push_back(w->Describe());
    return json{{"windows", windows}}.dump();
  }
  if (what == "messagebox") {  // {"text", "caption"}: answers when the display answered it
    widgets::ModalResult answer =
        widgets::MessageBox(args.value("text", std::string()), args.value("caption", std::string()),
                            widgets::MessageIcon::Question, widgets::MessageButtons::YesNo);
    return json{{"answer", widgets::ModalResultName(answer)}}.dump();
  }
  if (what == "windows") {
    json windows = json::array();
    for (auto* w : Windows()) windows.push_back(w->Describe());
    return json{{"windows", windows}}.dump();
  }
  if (what == "mutate") {  // {"browser", "si", "name", "value"}: an attribute change by the system
    browser::WebBrowser* b = browser::WebBrowser::FromId(args.value("browser", 0));
    auto document = b ? b->Document() : nullptr;
    dom::ElementPtr e = document ? document->ElementAt(args.value("si", -1)) : nullptr;
    if (!e) return json{{"changed", false}}.dump();
    if (args.value("html", false)) {
      e->setInnerHTML(args.value("value", std::string()));
    } else {
      e->setAttribute(args.value("name", std::string("style")), args.value("value", std::string()));
    }
    return json{{"changed", true}}.dump();
  }
  if (what == "elements") {  // {"browser"}: the document's elements as [sourceIndex, name, ns]
    browser::WebBrowser* b = browser::WebBrowser::FromId(args.value("browser", 0));
    auto document = b ? b->Document() : nullptr;
    json elements = json::array();
    if (document) {
      for (const auto& e : document->AllElements()) {
        const char* ns = e->ns() == dom::Namespace::kHtml  ? "html"
                         : e->ns() == dom::Namespace::kSvg ? "svg"
                                                           : "math";
        elements.push_back(json::array({e->sourceIndex(), e->localName(), ns}));
      }
    }
    return json{{"elements", elements}}.dump();
  }
  throw std::invalid_argument("unknown diagnostic '" + what + "'");
}

}  // namespace vt::shell
