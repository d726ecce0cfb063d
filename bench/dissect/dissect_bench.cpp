// Dissects every corpus page (DOM build and parse) with the model's HTML parser, again with gumbo
// (its former parser) in the document build, and, in the same run on the same pages, the lxml
// peer (bench/dissect/peer_lxml.py). Prints the times, the ratios and the peak memory of each.
// Times are processor time, so that other work on a shared machine does not count.
//   dissect_bench [CORPUS_DIR] [--runs N]
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../common/child_memory.h"
#include "../common/gumbo_peer.h"
#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/dom/document.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace {

// Processor time of this process.
struct Clock {
  using time_point = double;
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
  }
};

struct Page {
  std::string path;
  std::string url;
  std::string bytes;
};

struct Times {
  double build = 0;  // seconds building documents
  double parse = 0;  // seconds in ParseDocument
  long entries = 0;
};

double Seconds(double a, double b) {
  return b - a;
}

Times DissectAll(const std::vector<Page>& pages) {
  Times t;
  vt::widgets::StatusBar status_bar("sb1");
  vt::widgets::TreeList tree("tv");
  auto* session = new vt::TmyDOM();
  session->InitSession(nullptr, nullptr, &status_bar, nullptr);
  session->FilterTree = &tree;
  for (const Page& page : pages) {
    auto a = Clock::now();
    auto doc = vt::dom::Document::Create();
    doc->Load(page.bytes, page.url);
    auto b = Clock::now();
    session->Document = doc;
    session->WorkDocument = doc;
    session->ParseDocument();
    auto c = Clock::now();
    t.build += Seconds(a, b);
    t.parse += Seconds(b, c);
    t.entries += session->EntryCount;
  }
  session->ReleaseSession();
  return t;
}

// Where the parse's time goes: the text work (innerText of tables, cells and links) measured on
// its own over the same documents.
double TextSeconds(const std::vector<Page>& pages) {
  double seconds = 0;
  for (const Page& page : pages) {
    auto doc = vt::dom::Document::Create();
    doc->Load(page.bytes, page.url);
    auto a = Clock::now();
    vt::dom::ElementCollection tables = doc->tags("TABLE");
    for (long j = 0; j < std::min(tables.length(), 100L); ++j) {
      vt::dom::ElementPtr table = tables.item(j);
      (void)table->innerText().size();
      vt::dom::ElementCollection rows = table->rows();
      for (long k = 0; k < rows.length(); ++k) {
        vt::dom::ElementCollection cells = rows.item(k)->cells();
        for (long l = 0; l < cells.length(); ++l) (void)cells.item(l)->innerText().size();
      }
    }
    vt::dom::ElementCollection links = doc->links();
    for (long i = 0; i < std::min(links.length(), 400L); ++i)
      (void)links.item(i)->innerText().size();
    seconds += Seconds(a, Clock::now());
  }
  return seconds;
}

// Runs the peer on the same files; its own clock excludes interpreter start-up.
bool RunPeer(const std::vector<Page>& pages, double& seconds, long& entries) {
  std::string cmd = "/usr/bin/python3 '" + std::string(VT_PEER_SCRIPT) + "'";
  for (const Page& p : pages) cmd += " '" + p.path + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return false;
  long count = 0;
  const bool ok = std::fscanf(pipe, "%ld %ld %lf", &count, &entries, &seconds) == 3;
  return pclose(pipe) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = VT_CORPUS_DIR;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      dir = a;
    }
  }
  std::vector<Page> pages;
  std::size_t total_bytes = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string path = std::filesystem::absolute(e.path()).string();
    pages.push_back({path, vt::browser::FileUrlFromPath(path), s.str()});
    total_bytes += pages.back().bytes.size();
  }
  std::sort(pages.begin(), pages.end(),
            [](const Page& a, const Page& b) { return a.path < b.path; });
  if (pages.empty()) {
    std::fprintf(stderr, "dissect_bench: no pages in %s\n", dir.c_str());
    return 1;
  }

  auto best_of = [&](Times& best) {
    double best_total = 1e9;
    for (int r = 0; r < runs; ++r) {
      Times t = DissectAll(pages);
      if (t.build + t.parse < best_total) {
        best_total = t.build + t.parse;
        best = t;
      }
    }
    return best_total;
  };
  Times best{}, gumbo{};
  const double best_total = best_of(best);
  const double peak = vt::bench::ChildPeakMegabytes([&] { DissectAll(pages); });
  vt::dom::TreeBuilder::SetDocumentParser(vt::bench::GumboParseDocument);
  const double gumbo_total = best_of(gumbo);
  const double gumbo_peak = vt::bench::ChildPeakMegabytes([&] { DissectAll(pages); });
  vt::dom::TreeBuilder::SetDocumentParser(nullptr);
  const double text_seconds = TextSeconds(pages);

  double peer_best = 1e9;
  long peer_entries = 0;
  for (int r = 0; r < runs; ++r) {
    double s = 0;
    if (!RunPeer(pages, s, peer_entries)) {
      std::fprintf(stderr, "dissect_bench: the lxml peer failed (python3-lxml installed?)\n");
      return 1;
    }
    peer_best = std::min(peer_best, s);
  }

  std::printf("pages: %zu (%.1f MB), best of %d runs\n", pages.size(), total_bytes / 1e6, runs);
  std::printf("vellumtrace: %.3f s (DOM build %.3f s, ParseDocument %.3f s), %ld entries\n",
              best_total, best.build, best.parse, best.entries);
  std::printf("  of the parse, innerText of tables, cells and links: about %.3f s\n", text_seconds);
  std::printf("with gumbo:  %.3f s (DOM build %.3f s, ParseDocument %.3f s), %ld entries\n",
              gumbo_total, gumbo.build, gumbo.parse, gumbo.entries);
  std::printf("lxml peer:   %.3f s, %ld entries\n", peer_best, peer_entries);
  std::printf("ratio vellumtrace / peer: %.2f (with gumbo: %.2f)\n", best_total / peer_best,
              gumbo_total / peer_best);
  std::printf("peak memory of one pass (maxrss): %.1f MB, with gumbo %.1f MB\n", peak, gumbo_peak);
  return 0;
}
