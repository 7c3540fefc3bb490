// The RTF bodies of the real PST fixtures, read once by our store reader,
// for the tests of compressed RTF and of RTF to HTML.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvexa::outlook::testing {

struct FixtureBody {
  std::string pst;         // path of the store file
  std::uint32_t node = 0;  // node identifier of the item
  std::string subject;
  std::string compressed;  // PR_RTF_COMPRESSED as stored
  std::string html;        // PR_HTML as stored, "" when the item has none
  std::string body;        // PR_BODY, UTF-8
};

// Every item below the IPM subtree of every fixture that has
// PR_RTF_COMPRESSED, in file and folder order; empty when the fixtures are
// not there. Fails the calling test (and gives what it read so far) when a
// fixture cannot be read.
std::vector<FixtureBody> FixtureRtfBodies();

}  // namespace norvexa::outlook::testing
