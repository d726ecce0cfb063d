#pragma once
// Runs the html5lib conformance files (../shared/html5lib-tests beside the checkout) against a
// parser and counts what passes. Used by the conformance tests and by anyone comparing parsers.

#include <functional>
#include <string>
#include <vector>

namespace vt::html::testing {

// The folder of the html5lib files, or "" when it is not there.
std::string SuiteDir();

struct TreeCase {
  std::string file;
  std::string data;
  std::string context;   // "" for a document; "svg path", "td" for a fragment
  std::string expected;  // the dump, one "| " line per node
};

// Every tree-construction case that applies with scripting off (scripted/ and #script-on left
// out), in file order.
std::vector<TreeCase> LoadTreeCases(const std::string& dir);

// A parser under test: answers the dump of `data` parsed as a document (context "") or as a
// fragment in `context`.
using DumpParser = std::function<std::string(const std::string& data, const std::string& context)>;

struct SuiteResult {
  int total = 0;
  int passed = 0;
  std::vector<std::string> failures;  // one paragraph per failing case
  double Rate() const { return total ? 100.0 * passed / total : 0.0; }
};

SuiteResult RunTreeCases(const std::vector<TreeCase>& cases, const DumpParser& parser);

// The two parsers: ours (platform/html) and gumbo, dumped the same way.
std::string DumpOurs(const std::string& data, const std::string& context);
std::string DumpGumbo(const std::string& data, const std::string& context);

// Every tokenizer case; `failures` names the cases that did not pass and why.
SuiteResult RunTokenizerSuite(const std::string& dir);

}  // namespace vt::html::testing
