#pragma once
// The HTML parser: mark-up (UTF-8) to the nodes of the document model, with the tokenizer and
// tree construction rules of HTML as browsers follow them, scripting disabled.
//
// Every input yields a tree (HTML has no fatal errors). Elements nested deeper than
// kMaxTreeDepth are added beside the element at that depth, as browsers do. Time and memory are
// linear in the size of the text. Functions are re-entrant; the trees they answer are detached
// and belong to the caller.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/internal.h"
#include "platform/dom/node.h"

namespace vt::html {

constexpr std::size_t kMaxTreeDepth = 512;

// What the parser found out about a document besides its tree.
struct DocumentInfo {
  enum class Mode { kNoQuirks, kLimitedQuirks, kQuirks };
  Mode mode = Mode::kNoQuirks;
  bool has_doctype = false;
  bool doctype_has_public = false, doctype_has_system = false;
  std::string doctype_public_id, doctype_system_id;
};

struct ParseOptions {
  std::size_t max_tree_depth = kMaxTreeDepth;
  // A TEMPLATE with shadowrootmode "open" or "closed" on a host that can take a shadow root
  // becomes that shadow root, which is not part of the tree (as in a browser's page).
  bool declarative_shadow_roots = false;
};

// A whole document: a document node holding the doctype, comments and the HTML element.
std::shared_ptr<dom::DocumentNode> ParseDocument(std::string_view utf8,
                                                 DocumentInfo* info = nullptr,
                                                 const ParseOptions& options = {});

// The nodes of `utf8` parsed as the content of `context` (its name, namespace and, for a form
// ancestor, its place in a tree). A null context parses as the content of a BODY element.
std::vector<dom::NodePtr> ParseFragment(std::string_view utf8, const dom::Element* context,
                                        const ParseOptions& options = {});

}  // namespace vt::html
