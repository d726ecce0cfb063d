// The html5lib conformance files, run through our parser and, for comparison, through gumbo.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "html5lib_suite.h"

namespace vt::html::testing {
namespace {

void WriteFailures(const std::string& file, const SuiteResult& r) {
  std::ofstream out(std::string(VT_TEST_BINARY_DIR) + "/" + file);
  for (const auto& f : r.failures) out << f << "\n\n";
}

TEST(Html5libSuite, TokenizerPassesEveryRepresentableCase) {
  std::string dir = SuiteDir();
  if (dir.empty()) GTEST_SKIP() << "../shared/html5lib-tests is not beside the checkout";
  SuiteResult r = RunTokenizerSuite(dir);
  WriteFailures("html5lib-tokenizer-failures.txt", r);
  std::cout << "html5lib tokenizer: " << r.passed << " of " << r.total << " passed (" << r.Rate()
            << " %)\n";
  for (const auto& f : r.failures) std::cout << "  FAIL " << f << "\n";
  EXPECT_GT(r.total, 6000);
  EXPECT_GE(r.Rate(), 99.0);
}

TEST(Html5libSuite, TreeConstructionPassesAtLeast99PercentBesideGumbo) {
  std::string dir = SuiteDir();
  if (dir.empty()) GTEST_SKIP() << "../shared/html5lib-tests is not beside the checkout";
  auto cases = LoadTreeCases(dir);
  SuiteResult ours = RunTreeCases(cases, DumpOurs);
  SuiteResult gumbo = RunTreeCases(cases, DumpGumbo);
  WriteFailures("html5lib-tree-failures.txt", ours);
  WriteFailures("html5lib-tree-failures-gumbo.txt", gumbo);
  std::cout << "html5lib tree construction (scripting off, fragments included):\n"
            << "  ours:  " << ours.passed << " of " << ours.total << " (" << ours.Rate() << " %)\n"
            << "  gumbo: " << gumbo.passed << " of " << gumbo.total << " (" << gumbo.Rate()
            << " %)\n";
  for (const auto& f : ours.failures) std::cout << "FAIL " << f << "\n";
  EXPECT_GT(ours.total, 1700);
  EXPECT_GE(ours.Rate(), 99.0);
}

}  // namespace
}  // namespace vt::html::testing
