// A snippet is the user's own markup, placed in one cell of the page. One slip in it (an
// unfinished comment, a table left open, a stray end tag) must not reach the rest of the
// page: it is parsed as a browser parses the inside of a block, and written back from that
// tree, so every element it opens is closed inside it and nothing it holds can close the
// page's own elements.
#pragma once
#include <string>
#include <vector>

struct TBalancedSnippet {
  std::string Html;                  // UTF-8 markup whose elements all close inside it
  std::vector<std::string> Repairs;  // what had to be closed or dropped, for the user
};

// The snippet (UTF-8, or Latin-1 bytes of an older project) as balanced markup.
TBalancedSnippet BalanceSnippet(const std::string& markup);
