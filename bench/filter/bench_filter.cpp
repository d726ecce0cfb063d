// The private host's answer to a filter request against one parse of the page source, on every
// corpus page: the request for the page's largest table and for its Links group (each re-parses
// the whole source in the invisible loader), and, in the same run, the document load of that
// source alone. Prints median, 95th percentile and maximum of the three and of the ratios.
// Times are processor time, so that other work on a shared machine does not count.
//   bench_filter [CORPUS_DIR]
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "host/OurNSHandler.h"
#include "platform/browser/session.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

struct Stats {
  std::vector<double> values;
  void Add(double v) { values.push_back(v); }
  double At(double q) {
    std::sort(values.begin(), values.end());
    if (values.empty()) return 0;
    return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))];
  }
  void Print(const char* name, double scale, const char* unit) {
    std::printf("%-34s n=%3zu  median %8.2f  p95 %8.2f  max %8.2f %s\n", name, values.size(),
                At(0.5) * scale, At(0.95) * scale, At(1.0) * scale, unit);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path corpus = argc > 1 ? argv[1] : VT_CORPUS_DIR;
  std::vector<std::filesystem::path> pages;
  for (const auto& e : std::filesystem::directory_iterator(corpus)) {
    if (e.path().extension() == ".html" || e.path().extension() == ".htm")
      pages.push_back(e.path());
  }
  std::sort(pages.begin(), pages.end());
  vt::msgloop::MessageLoop& loop = vt::msgloop::UiLoop();
  (void)loop;
  // Pictures of the corpus pages are not fetched: the figures are the handler's own work.
  vt::browser::InternetSession::Process().SetPrefetchImages(false);
  vt::SetAppDir("/tmp/vt-bench-filter/app/");
  vt::SetCacheDir("/tmp/vt-bench-filter/images/");
  vt::widgets::StatusBar status_bar("sb1");
  vt::widgets::TreeList tree("tv");

  Stats table_answer, links_answer, parse, table_ratio, links_ratio;
  for (const auto& path : pages) {
    auto web = vt::browser::WebBrowser::Create();
    web->Navigate(vt::browser::FileUrlFromPath(path.string()));
    vt::msgloop::PumpUntil([&] { return !web->Busy(); }, vt::msgloop::Milliseconds(60000));
    if (!web->Document()) continue;
    auto* session = new vt::TmyDOM(vt::BrowserRef(web.get()));
    session->InitSession(nullptr, nullptr, &status_bar, nullptr);
    session->FilterTree = &tree;
    vt::SessionList::Add(session);
    session->RefreshDocuments();
    session->ParseDocument();

    // The largest table of the top document (most row and cell entries) and the Links group.
    int links = 0;
    for (int p = 1; p <= session->EntryCount && links == 0; ++p) {
      if (session->Entries[p]->Link == -1) links = p;
    }
    int largest = 0, largest_size = -1;
    for (int p = 1; p <= session->EntryCount; ++p) {
      const vt::Tnode& e = *session->Entries[p];
      if (e.Frame != 0 || e.Table <= 0 || e.Row != 0) continue;
      int size = 0;
      for (int q = p + 1; q <= session->EntryCount && session->Entries[q]->Table == e.Table &&
                          session->Entries[q]->Row > 0;
           ++q) {
        ++size;
      }
      if (size > largest_size) {
        largest_size = size;
        largest = p;
      }
    }

    const std::string source = vt::TmyDOM::GetDocumentSource(session->Document);
    double t0 = Now();
    auto copy = vt::dom::Document::Create();
    copy->LoadSource(source);
    const double one_parse = Now() - t0;
    parse.Add(one_parse);

    if (largest > 0) {
      t0 = Now();
      const std::string answer =
          vt::FetchPrivatePage(vt::FilterAddress(session->WindowNumber, largest));
      const double t = Now() - t0;
      if (!answer.empty()) {
        table_answer.Add(t);
        table_ratio.Add(t / one_parse);
      }
    }
    if (links > 0) {
      session->AllLinksPage.clear();
      t0 = Now();
      const std::string answer =
          vt::FetchPrivatePage(vt::FilterAddress(session->WindowNumber, links));
      const double t = Now() - t0;
      if (!answer.empty()) {
        links_answer.Add(t);
        links_ratio.Add(t / one_parse);
      }
    }
    vt::SessionList::Remove(session->WindowNumber);
    session->ReleaseSession();
    web->Quit();
  }
  std::printf("filter requests on %zu corpus pages (processor time)\n", pages.size());
  parse.Print("one parse of the page source", 1000, "ms");
  table_answer.Print("answer: largest table", 1000, "ms");
  links_answer.Print("answer: Links group", 1000, "ms");
  table_ratio.Print("ratio largest table / parse", 1, "x");
  links_ratio.Print("ratio Links group / parse", 1, "x");
  return 0;
}
