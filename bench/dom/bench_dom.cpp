// Builds the document of every corpus page and prints the time next to the HTML parser's own
// parse of the same bytes, measured in the same run, page by page in turn.
//
//   bench_dom [ROUNDS] [CORPUS_DIR]
#include <gumbo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dom/document.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

struct Page {
  std::string name;
  std::string bytes;
};

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
    pages.push_back({entry.path().filename().string(), s.str()});
  }
  std::sort(pages.begin(), pages.end(),
            [](const Page& a, const Page& b) { return a.name < b.name; });
  std::size_t total_bytes = 0;
  for (const auto& p : pages) total_bytes += p.bytes.size();

  // The parser runs with the options the model gives it (no error list kept), so the ratio shows
  // what building our tree costs on top of the parse.
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  Clock::duration parser{}, model{};
  std::size_t elements = 0;
  for (int r = 0; r < rounds; ++r) {
    for (const auto& p : pages) {
      // The parser alone: parse and free its tree.
      auto t0 = Clock::now();
      GumboOutput* out = gumbo_parse_with_options(&options, p.bytes.data(), p.bytes.size());
      gumbo_destroy_output(&options, out);
      auto t1 = Clock::now();
      // The model: decode, parse, build our tree, free the parser's, number the elements, free
      // our tree.
      {
        auto doc = vt::dom::Document::Create();
        doc->Load(p.bytes, "file://" + (dir / p.name).string());
        if (r == 0)
          elements += static_cast<std::size_t>(doc->ElementCount());
        else
          doc->ElementCount();
      }
      auto t2 = Clock::now();
      parser += t1 - t0;
      model += t2 - t1;
    }
  }
  const double per_round_parser = Seconds(parser) / rounds;
  const double per_round_model = Seconds(model) / rounds;
  std::printf("pages: %zu, bytes: %zu, elements: %zu, rounds: %d\n", pages.size(), total_bytes,
              elements, rounds);
  std::printf("gumbo parse (parse + free):      %8.1f ms per round  %6.1f MB/s\n",
              per_round_parser * 1000, total_bytes / per_round_parser / 1e6);
  std::printf("vt::dom Document::Load (+ free): %8.1f ms per round  %6.1f MB/s\n",
              per_round_model * 1000, total_bytes / per_round_model / 1e6);
  std::printf("ratio model / parser: %.3f\n", per_round_model / per_round_parser);
  return 0;
}
