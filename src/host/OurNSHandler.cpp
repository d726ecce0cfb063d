// The private host's protocol handler: snippet views, compiled articles and filter views.
#include "host/OurNSHandler.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "core/myDOM.h"
#include "core/privatehost.h"
#include "host/clsids.h"
#include "platform/ado/table.h"
#include "platform/ado/variant.h"
#include "platform/browser/session.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "publishing/ArticleCompiler.h"
#include "publishing/PageTemplate.h"
#include "storage/urlRecords.h"

namespace vt {

using namespace com;

namespace {

// The session the last window key chose; it stays chosen for later requests.
int g_selected_window = -1;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Prefix() {
  return "http://" + std::string(kPrivateHost) + "/";
}

// A decimal integer (an optional sign, then digits); anything else is an error that says so.
long long ToInteger(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const bool digits =
      i < text.size() && std::all_of(text.begin() + static_cast<long>(i), text.end(),
                                     [](unsigned char c) { return std::isdigit(c) != 0; });
  if (!digits || text.size() - i > 12) {
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  }
  return std::stoll(text);
}

TmyDOM* FirstSession() {
  for (int n = 0; n < SessionList::Count(); ++n) {
    if (TmyDOM* s = SessionList::At(n)) return s;
  }
  return nullptr;
}

std::string MessagePage(const std::string& text) {
  return WrapInPageTemplate(nullptr, text, "", "");
}

}  // namespace

std::string GetQueryValue(const std::string& query, const std::string& key) {
  const std::size_t at = query.find(key + "=");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 1;
  const std::size_t end = query.find('&', start);
  return query.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

HRESULT TOurNSHandler::Start(const char* url, browser::IInternetProtocolSink* sink,
                             browser::IInternetBindInfo*, DWORD, std::uintptr_t) {
  const std::string address = url ? url : "";
  if (Lower(address).rfind(Prefix(), 0) != 0) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
  try {
    url_ = address;
    delivered_ = 0;
    total_size_ = 0;
    sink_ = ComPtr<browser::IInternetProtocolSink>(sink);
    NsGetOurData();
    if (sink_) {
      const auto size = static_cast<ULONG>(total_size_);
      sink_->ReportData(browser::BSCF_FIRSTDATANOTIFICATION | browser::BSCF_LASTDATANOTIFICATION |
                            browser::BSCF_DATAFULLYAVAILABLE,
                        size, size);
      sink_->ReportResult(S_OK, 0, nullptr);
    }
    return S_OK;
  } catch (const std::exception& e) {
    if (TmyDOM* s = FirstSession()) s->LogError(e, "NsStart");
    return E_FAIL;
  }
}

HRESULT TOurNSHandler::Continue(browser::PROTOCOLDATA*) {
  return S_OK;
}
HRESULT TOurNSHandler::Abort(HRESULT, DWORD) {
  return E_NOTIMPL;
}
HRESULT TOurNSHandler::Terminate(DWORD) {
  sink_ = nullptr;
  stream_ = nullptr;
  CloseLoader();
  return S_OK;
}
void TOurNSHandler::CloseLoader() {
  if (com::ComPtr<TUILess> loader = std::move(loader_)) loader->Close();
}

TOurNSHandler::~TOurNSHandler() {
  CloseLoader();
}

HRESULT TOurNSHandler::Suspend() {
  return E_NOTIMPL;
}
HRESULT TOurNSHandler::Resume() {
  return E_NOTIMPL;
}

HRESULT TOurNSHandler::Read(void* buffer, ULONG size, ULONG* read) {
  ULONG n = 0;
  if (stream_) stream_->Read(buffer, size, &n);
  delivered_ += static_cast<std::int32_t>(n);
  if (read) *read = n;
  return delivered_ == total_size_ ? S_FALSE : E_PENDING;
}

HRESULT TOurNSHandler::Seek(std::int64_t, DWORD, std::uint64_t*) {
  return E_NOTIMPL;
}
HRESULT TOurNSHandler::LockRequest(DWORD) {
  return S_OK;
}
HRESULT TOurNSHandler::UnlockRequest() {
  return S_OK;
}

void TOurNSHandler::NsGetOurData() {
  TmyDOM* selected = nullptr;
  try {
    const std::size_t last_slash = url_.rfind('/');
    const std::size_t last_question = url_.rfind('?');
    std::string command, query;
    if (last_question != std::string::npos) {
      const std::size_t start = last_slash == std::string::npos ? 0 : last_slash + 1;
      command = start <= last_question ? url_.substr(start, last_question - start) : "";
      query = url_.substr(last_question + 1);
    }
    const std::size_t equals = query.rfind('=');
    const std::string id_key = equals == std::string::npos ? query : query.substr(0, equals);
    const std::string id_value = equals == std::string::npos ? "" : query.substr(equals + 1);

    TmyDOM* first = FirstSession();
    if (const std::string window = GetQueryValue(query, "window"); !window.empty()) {
      const long long n = ToInteger(window);
      if (n < 0) throw std::invalid_argument("A window number cannot be negative: " + window);
      if (n < SessionList::Count()) g_selected_window = static_cast<int>(n);
    }
    selected = g_selected_window >= 0 ? SessionList::At(g_selected_window) : nullptr;
    if (!selected) {
      selected = first;
      g_selected_window = first ? first->WindowNumber : -1;
    }
    if (!selected) return;  // no band is open: nothing to answer with

    CloseLoader();
    loader_ = MakeCom<TUILess>();
    loader_->LoadDocument("", "about:blank");
    msgloop::ProcessMessages();
    const std::string page = Dispatch(command, query, id_key, id_value, first, selected);

    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) || !stream) {
      throw std::runtime_error("Out of memory for the answer");
    }
    stream->Write(page.data(), static_cast<ULONG>(page.size()), nullptr);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    stream_ = stream;
    total_size_ = static_cast<std::int32_t>(page.size());
  } catch (const std::exception& e) {
    stream_ = nullptr;
    total_size_ = 0;
    // The session may have gone while the answer was built.
    TmyDOM* target = g_selected_window >= 0 ? SessionList::At(g_selected_window) : nullptr;
    if (!target) target = FirstSession();
    if (target) target->LogError(e, "NsGetOurData");
  }
}

std::string TOurNSHandler::Dispatch(const std::string& command, const std::string& query,
                                    const std::string& id_key, const std::string& id_value,
                                    TmyDOM* first, TmyDOM* selected) {
  if (command == "viewsnippet") {
    if (Upper(id_key) != "ID") return MessagePage("Invalid snippet parameter.");
    const long long id = ToInteger(id_value);
    if (!first || !first->SNIPPETS) throw std::runtime_error("The snippet database is not open");
    std::vector<ado::Variant> row = first->SNIPPETS->Lookup(
        "ID", {ado::Variant(static_cast<std::int64_t>(id))}, "Name;Url_ID;Snippet");
    if (row.empty()) return MessagePage("Snippet not found in Vellumtrace database.");
    const std::string title = row[0].IsNull() ? "" : row[0].AsString();
    std::string base = url_;
    const std::int32_t url_id = row[1].IsNull() ? 0 : row[1].AsInteger();
    if (std::string address = GetUrlById(*first, url_id); !address.empty()) base = address;
    const std::string content =
        LoaderPass(*first, row[2].IsNull() ? "" : row[2].AsString(), /*fix_images=*/false);
    return WrapInPageTemplate(first, content, title, base);
  }
  if (command == "compilesnippets") {
    if (Upper(id_key) != "ID") return MessagePage("Invalid snippet compiler parameter.");
    const long long id = ToInteger(id_value);
    if (!first || !first->SNIPPETS) throw std::runtime_error("The snippet database is not open");
    if (!first->SNIPPETS->Locate("ID", ado::Variant(static_cast<std::int64_t>(id)),
                                 ado::loCaseInsensitive)) {
      return MessagePage("Snippet not found in Vellumtrace database.");
    }
    return WrapInPageTemplate(first, CompileSnippets(*first, static_cast<std::int32_t>(id)), "",
                              "");
  }
  if (command == "filter") return FilterPage(first, *selected, query);
  return MessagePage("Vellumtrace does not understand the command.");
}

std::string TOurNSHandler::LoaderPass(TmyDOM& session, const std::string& markup, bool fix_images) {
  DocumentRef document = loader_ ? loader_->DomDocument() : nullptr;
  if (!document || !document->body()) throw std::runtime_error("The loader has no document");
  document->body()->setInnerHTML(markup);
  if (fix_images) {
    session.FixImageLinks(document);
  } else {
    session.GrabImage(document);
  }
  return document->body()->innerHTML();
}

std::string TOurNSHandler::FilterPage(TmyDOM* first, TmyDOM& session, const std::string& query) {
  const int window = session.WindowNumber;
  // The message loop runs while the page is built: the band may close meanwhile.
  auto still_open = [&] {
    if (SessionList::At(window) != &session) {
      throw std::runtime_error("The window of the page was closed");
    }
  };
  const std::string id_text = GetQueryValue(query, "id");
  const long long e = ToInteger(id_text);
  if (e < 0 || e > 2000) {
    throw std::out_of_range("The element number " + id_text + " is outside 0 to 2000");
  }
  const Tnode* entry = session.Entry(static_cast<int>(e));
  if (!entry) throw std::out_of_range("No element is stored at position " + id_text);
  const Tnode d = *entry;  // a copy: a parse inside the message loop may refill the table

  DocumentRef loader_document = loader_->DomDocument();
  std::string source;
  if (session.Document) {
    DocumentRef source_document =
        d.Frame >= 1
            ? TmyDOM::DocumentOfBrowser(TmyDOM::GetFrameBrowser(session.Document, d.Frame - 1))
            : session.Document;
    if (!source_document) throw std::runtime_error("The frame of the element has no document");
    // The mark-up as saved, without the CR LF line breaks of the page source: the parse below
    // would only fold them back.
    source = source_document->Save(true);
    // The copy resolves its relative addresses as its own page does: from the page's address,
    // through the page's own BASE, which the copy carries (a relative BASE would otherwise count
    // twice).
    loader_document->SetURL(source_document->URL());
    loader_document->body()->setInnerHTML(source);
  }

  std::string content, title;
  const std::string page_title = session.Document ? session.Document->title() : "";
  if (d.Image == -1) {
    content = session.ListAllImages(loader_document, d.Frame);
    still_open();
    title = "All Images at " + page_title;
    content = LoaderPass(session, content, true);
  } else if (d.Table == -1) {
    content = session.ListAllTables(loader_document, d.Frame);
    still_open();
    title = "All Tables at " + page_title;
    content = LoaderPass(session, content, true);
  } else if (d.Link == -1) {
    content = session.ListAllLinks(loader_document, d.Frame);
    still_open();
    title = "All Links at " + page_title;
  } else if (d.Frame >= 1 && d.Table == 0 && d.Row == 0 && d.Col == 0 && d.Image == 0 &&
             d.Link == 0) {
    content = LoaderPass(session, source, true);
  } else {
    title = d.Text;
    if (session.Browser && session.Document) {
      content = session.GetObjectHTML(loader_document, &d);
      content = LoaderPass(session, content, true);
    }
    msgloop::ProcessMessages();
    still_open();
  }
  (void)first;
  if (content.empty()) content = MessagePage("Filter not found in original document.");
  if (session.Document) {
    return WrapInPageTemplate(&session, content, title, session.Document->URL());
  }
  return content;
}

namespace {
DWORD g_namespace_registered = 0;
}

HRESULT RegisterPrivateHostHandler() {
  if (g_namespace_registered) return S_OK;
  // Class objects live as long as the process.
  static auto* factory = new ClassFactory<TOurNSHandler>();
  ComPtr<browser::IInternetSession> session;
  HRESULT hr = browser::CoInternetGetSession(0, session.put(), 0);
  if (FAILED(hr) || !session) return FAILED(hr) ? hr : E_FAIL;
  hr = session->RegisterNameSpace(factory, CLSID_NSHandler, "http", 0, nullptr, 0);
  if (SUCCEEDED(hr)) g_namespace_registered = 1;
  return hr;
}

std::string FetchPrivatePage(const std::string& url) {
  ComPtr<TOurNSHandler> handler = MakeCom<TOurNSHandler>();
  if (handler->Start(url.c_str(), nullptr, nullptr, 0, 0) != S_OK) return "";
  std::string page;
  char buffer[8192];
  for (;;) {
    ULONG n = 0;
    const HRESULT hr = handler->Read(buffer, sizeof buffer, &n);
    page.append(buffer, n);
    if (hr == S_FALSE || n == 0) break;
  }
  handler->Terminate(0);
  return page;
}

}  // namespace vt
