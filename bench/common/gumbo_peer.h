#pragma once
// The gumbo HTML parser as a peer for benchmarks: parses a document with gumbo and copies its
// tree into the document model, as the model did before it had a parser of its own. Install it
// with vt::dom::TreeBuilder::SetDocumentParser(vt::bench::GumboParseDocument).

#include <memory>
#include <string_view>

#include "platform/dom/internal.h"

namespace vt::bench {

std::shared_ptr<dom::DocumentNode> GumboParseDocument(std::string_view utf8);

}  // namespace vt::bench
