// Builds the document of every corpus page with our HTML parser and, in the same run on the same
// pages, with gumbo (the model's former parser) and lxml's parser, and prints the times and the
// peak memory of each. Times are processor time (lxml's too).
//
//   bench_dom [ROUNDS] [CORPUS_DIR]
#include <gumbo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../common/child_memory.h"
#include "../common/gumbo_peer.h"
#include "platform/dom/document.h"
#include "platform/html/parser.h"

namespace {

struct Page {
  std::string path;
  std::string bytes;
};

// Processor time of this process: the machine may be shared, and wall time would count the rest.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Best of `rounds` rounds of `one` over every page, in seconds.
double Best(int rounds, const std::vector<Page>& pages,
            const std::function<void(const Page&)>& one) {
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = CpuSeconds();
    for (const auto& p : pages) one(p);
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
}

void LoadDocument(const Page& p) {
  auto doc = vt::dom::Document::Create();
  doc->Load(p.bytes, "file://" + p.path);
  doc->ElementCount();
}

bool RunLxml(int rounds, const std::vector<Page>& pages, double& seconds) {
  std::string cmd =
      "/usr/bin/python3 '" + std::string(VT_LXML_PARSE_SCRIPT) + "' " + std::to_string(rounds);
  for (const Page& p : pages) cmd += " '" + p.path + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return false;
  long count = 0;
  const bool ok = std::fscanf(pipe, "%ld %lf", &count, &seconds) == 2;
  return pclose(pipe) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::filesystem::path dir = argc > 2 ? argv[2] : VT_CORPUS_DIR;
  std::vector<Page> pages;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".html") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    pages.push_back({std::filesystem::absolute(entry.path()).string(), s.str()});
  }
  std::sort(pages.begin(), pages.end(),
            [](const Page& a, const Page& b) { return a.path < b.path; });
  std::size_t total_bytes = 0, elements = 0;
  for (const auto& p : pages) {
    total_bytes += p.bytes.size();
    auto doc = vt::dom::Document::Create();
    doc->Load(p.bytes, "file://" + p.path);
    elements += static_cast<std::size_t>(doc->ElementCount());
  }

  // Parsers alone: text to tree and free, without decoding or the model's numbering.
  const double ours_parse =
      Best(rounds, pages, [](const Page& p) { auto doc = vt::html::ParseDocument(p.bytes); });
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  const double gumbo_parse = Best(rounds, pages, [&](const Page& p) {
    GumboOutput* out = gumbo_parse_with_options(&options, p.bytes.data(), p.bytes.size());
    gumbo_destroy_output(&options, out);
  });
  // The model's document build: decode, parse, build, number the elements, free.
  const double ours_load = Best(rounds, pages, LoadDocument);
  const double ours_peak = vt::bench::ChildPeakMegabytes([&] {
    for (const auto& p : pages) LoadDocument(p);
  });
  vt::dom::TreeBuilder::SetDocumentParser(vt::bench::GumboParseDocument);
  const double gumbo_load = Best(rounds, pages, LoadDocument);
  const double gumbo_peak = vt::bench::ChildPeakMegabytes([&] {
    for (const auto& p : pages) LoadDocument(p);
  });
  vt::dom::TreeBuilder::SetDocumentParser(nullptr);
  double lxml_parse = 0;
  const bool lxml_ok = RunLxml(rounds, pages, lxml_parse);

  auto line = [&](const char* what, double seconds) {
    std::printf("%-44s %8.1f ms  %6.1f MB/s\n", what, seconds * 1000, total_bytes / seconds / 1e6);
  };
  std::printf("pages: %zu, bytes: %zu, elements: %zu, best of %d rounds\n", pages.size(),
              total_bytes, elements, rounds);
  line("ours: platform/html ParseDocument (+ free)", ours_parse);
  line("gumbo: parse (+ free)", gumbo_parse);
  if (lxml_ok) {
    line("lxml: lxml.html.document_fromstring", lxml_parse);
  } else {
    std::printf("lxml: the peer failed (python3-lxml installed?)\n");
  }
  line("Document::Load with ours (+ free)", ours_load);
  line("Document::Load with gumbo (+ copy, free)", gumbo_load);
  std::printf("ratio Document::Load ours / gumbo: %.3f\n", ours_load / gumbo_load);
  std::printf("peak memory of one pass of Document::Load: ours %.1f MB, gumbo %.1f MB\n", ours_peak,
              gumbo_peak);
  return 0;
}
