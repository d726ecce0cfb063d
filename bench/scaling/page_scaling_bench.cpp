// How the cost of building and dissecting a page grows with the page: generated pages of the
// shapes that hurt (tables nested in cells, nested DIV elements, one element with many
// attributes, one row with many cells, one table with many rows) at size N/2 and N.
//
// For each page it prints, at both sizes:
//   build  - bytes to document (decoding and the HTML parser), as the browser does on its worker
//   parse  - ParseDocument on the UI thread
//   stall  - the longest the UI thread went without running its messages while a browser object
//            loaded the page from a file and the page was dissected (what the display waits)
// and the ratio of the N time to the N/2 time (about 2 for linear work, 4 for quadratic).
//
//   page_scaling_bench [CASE [N]] [--no-browser] [--budget SECONDS]
// CASE is one of nested-tables, nested-divs, attributes, wide-row, many-rows; N its size. A size
// whose half took longer than the budget (default 60 s) is skipped.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Shape {
  const char* name;
  long default_n;
  std::function<std::string(long)> make;
};

std::string NestedTables(long n) {
  std::string s = "<!DOCTYPE html><html><head><title>nested tables</title></head><body>";
  for (long i = 0; i < n; ++i) s += "<table><tr><td>cell " + std::to_string(i);
  for (long i = 0; i < n; ++i) s += "</td></tr></table>";
  return s + "</body></html>";
}

std::string NestedDivs(long n) {
  std::string s = "<!DOCTYPE html><html><head><title>nested divs</title></head><body>";
  for (long i = 0; i < n; ++i) s += "<div>";
  s += "deep";
  for (long i = 0; i < n; ++i) s += "</div>";
  return s + "</body></html>";
}

std::string Attributes(long n) {
  std::string s = "<!DOCTYPE html><html><head><title>attributes</title></head><body><div";
  for (long i = 0; i < n; ++i) s += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  return s + ">text</div><a href=\"x.html\">link</a></body></html>";
}

std::string WideRow(long n) {
  std::string s = "<!DOCTYPE html><html><head><title>wide row</title></head><body><table><tr>";
  for (long i = 0; i < n; ++i) s += "<td>c" + std::to_string(i) + "</td>";
  return s + "</tr></table></body></html>";
}

std::string ManyRows(long n) {
  std::string s = "<!DOCTYPE html><html><head><title>many rows</title></head><body><table>";
  for (long i = 0; i < n; ++i) s += "<tr><td>r" + std::to_string(i) + "</td></tr>";
  return s + "</table></body></html>";
}

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      {"nested-tables", 20000, NestedTables}, {"nested-divs", 100000, NestedDivs},
      {"attributes", 200000, Attributes},     {"wide-row", 200000, WideRow},
      {"many-rows", 200000, ManyRows},
  };
  return shapes;
}

struct Figures {
  double build = 0, parse = 0, stall = -1;
  int entries = 0;
};

double ParseSeconds(const vt::DocumentRef& doc, int& entries) {
  vt::widgets::StatusBar status_bar("sb1");
  vt::widgets::TreeList tree("tv");
  auto* session = new vt::TmyDOM();
  session->InitSession(nullptr, nullptr, &status_bar, nullptr);
  session->FilterTree = &tree;
  session->Document = doc;
  session->WorkDocument = doc;
  auto a = Clock::now();
  session->ParseDocument();
  auto b = Clock::now();
  entries = session->EntryCount;
  session->ReleaseSession();
  return Seconds(a, b);
}

// The page loaded by a browser object from a file and then dissected, with a 5 ms timer
// measuring the longest gap between its ticks.
double BrowserStall(const std::string& html) {
  const std::string path = std::filesystem::temp_directory_path().string() + "/vt-scaling-" +
                           std::to_string(getpid()) + ".html";
  {
    std::ofstream out(path, std::ios::binary);
    out << html;
  }
  auto& loop = vt::msgloop::UiLoop();
  Clock::time_point last = Clock::now();
  double longest = 0;
  auto tick = [&] {
    auto now = Clock::now();
    longest = std::max(longest, Seconds(last, now));
    last = now;
  };
  const auto timer = loop.SetTimer(5, tick);
  auto web = vt::browser::WebBrowser::Create();
  last = Clock::now();
  web->Navigate(vt::browser::FileUrlFromPath(path));
  loop.PumpUntil([&] { return !web->Busy(); }, std::chrono::hours(1));
  int entries = 0;
  if (auto doc = web->Document()) ParseSeconds(doc, entries);
  tick();
  loop.KillTimer(0, timer);
  std::filesystem::remove(path);
  return longest;
}

Figures Measure(const Shape& shape, long n, bool browser) {
  Figures f;
  const std::string html = shape.make(n);
  auto a = Clock::now();
  auto doc = vt::dom::Document::Create();
  doc->Load(html, "http://example.test/page.html", "text/html; charset=utf-8");
  auto b = Clock::now();
  f.build = Seconds(a, b);
  f.parse = ParseSeconds(doc, f.entries);
  if (browser) f.stall = BrowserStall(html);
  return f;
}

void Report(const Shape& shape, long n, bool browser, double budget) {
  std::printf("%-14s", shape.name);
  std::fflush(stdout);
  Figures half = Measure(shape, n / 2, browser);
  std::printf(" N/2=%-7ld build %8.3f s  parse %8.3f s", n / 2, half.build, half.parse);
  if (browser) std::printf("  stall %8.3f s", half.stall);
  std::printf("  (%d entries)\n", half.entries);
  std::fflush(stdout);
  const double half_total = half.build + half.parse + (browser ? half.build + half.parse : 0);
  if (half_total > budget) {
    std::printf("%-14s N=%-7ld skipped: the half size took %.1f s (budget %.0f s)\n", "", n,
                half_total, budget);
    return;
  }
  Figures full = Measure(shape, n, browser);
  std::printf("%-14s N=%-9ld build %8.3f s  parse %8.3f s", "", n, full.build, full.parse);
  if (browser) std::printf("  stall %8.3f s", full.stall);
  std::printf("  (%d entries)\n", full.entries);
  auto ratio = [](double x, double y) { return y > 0.0005 ? x / y : 0.0; };
  std::printf("%-14s ratio N : N/2     build %8.2f    parse %8.2f\n", "",
              ratio(full.build, half.build), ratio(full.parse, half.parse));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  vt::msgloop::UiLoop();
  std::string only;
  long n = 0;
  bool browser = true;
  double budget = 60;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-browser") {
      browser = false;
    } else if (a == "--budget" && i + 1 < argc) {
      budget = std::atof(argv[++i]);
    } else if (only.empty() && !a.empty() && a[0] != '-') {
      only = a;
    } else if (n == 0 && std::atol(a.c_str()) > 0) {
      n = std::atol(a.c_str());
    } else {
      std::fprintf(stderr,
                   "usage: page_scaling_bench [CASE [N]] [--no-browser] [--budget SECONDS]\n");
      return 2;
    }
  }
  bool found = only.empty();
  for (const Shape& shape : Shapes()) {
    if (!only.empty() && only != shape.name) continue;
    found = true;
    Report(shape, n > 0 ? n : shape.default_n, browser, budget);
  }
  if (!found) {
    std::fprintf(stderr, "unknown case '%s'\n", only.c_str());
    return 2;
  }
  return 0;
}
