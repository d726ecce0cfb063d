// Dissects pages with the model's HTML parser and again with gumbo (its former parser) and
// prints, for each page, "same" or the first lines where the filter trees differ.
//   dissect_compare PAGE...
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "../common/gumbo_peer.h"
#include "core/dissect.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int differing = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string page = argv[i];
    vt::dom::TreeBuilder::SetDocumentParser(nullptr);
    vt::DissectResult ours = vt::DissectPage(page);
    vt::dom::TreeBuilder::SetDocumentParser(vt::bench::GumboParseDocument);
    vt::DissectResult gumbo = vt::DissectPage(page);
    vt::dom::TreeBuilder::SetDocumentParser(nullptr);
    const std::string a = vt::DissectText(ours), b = vt::DissectText(gumbo);
    if (a == b && ours.loaded == gumbo.loaded) {
      std::printf("same %s (%d entries)\n", page.c_str(), ours.entry_count);
      continue;
    }
    ++differing;
    std::printf("DIFFERS %s (ours %d entries, gumbo %d)\n", page.c_str(), ours.entry_count,
                gumbo.entry_count);
    auto la = Lines(a), lb = Lines(b);
    int shown = 0;
    for (std::size_t k = 0; k < std::max(la.size(), lb.size()) && shown < 8; ++k) {
      std::string x = k < la.size() ? la[k] : "<none>", y = k < lb.size() ? lb[k] : "<none>";
      if (x == y) continue;
      std::printf("  line %zu\n    ours:  %s\n    gumbo: %s\n", k + 1, x.c_str(), y.c_str());
      ++shown;
    }
  }
  return differing == 0 ? 0 : 3;
}
