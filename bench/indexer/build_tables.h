#pragma once
// Fills a fresh database with a large word index: `words` WORDS rows of distinct letter-only
// words and `pairs` DICTIONARY rows spread over `pages` URL ids.
#include <cstdint>
#include <string>

namespace vt::ado {
class Connection;
}

namespace vt::bench {

// The n-th word of the generated vocabulary: lower-case letters only, 5 to 9 characters, never a
// word of real text (each starts with "zq").
std::string GeneratedWord(std::int64_t n);

void FillWordIndex(ado::Connection& connection, std::int64_t words, std::int64_t pairs,
                   std::int64_t pages);

}  // namespace vt::bench
