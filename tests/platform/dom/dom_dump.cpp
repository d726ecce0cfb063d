// Prints what the document model makes of pages, one JSON object per line, for the display test
// that compares it with a browser: element, table, image and link counts, every element's tag
// name in source order, and the body's rendered text.
//
//   dom_dump FILE...
#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/dom/document.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "dom_dump: cannot read " << path << "\n";
      return 1;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    auto doc = vt::dom::Document::Create();
    doc->Load(bytes.str(), "file://" + path);
    nlohmann::json out;
    out["file"] = path;
    out["charset"] = doc->charset();
    out["all"] = doc->all().length();
    out["tables"] = doc->tags("table").length();
    out["images"] = doc->images().length();
    out["links"] = doc->links().length();
    nlohmann::json tags = nlohmann::json::array();
    for (const auto& e : doc->AllElements()) tags.push_back(e->tagName());
    out["tags"] = std::move(tags);
    auto body = doc->body();
    out["text"] = body ? body->innerText() : std::string();
    std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  return 0;
}
