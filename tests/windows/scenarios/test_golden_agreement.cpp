// The COM host's transcripts and the in-memory host's, of the same roads,
// agree on every fact both record: the messages, the search list and its
// selection, the configuration file's bytes, the extents and the progress.

#include <gtest/gtest.h>

#include "scenarios/GoldenFacts.h"

namespace corvale::windouble {
namespace {

class GoldenAgreement : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenAgreement, BothHostsRecordTheSameFacts) {
  const std::string name = GetParam();
  const std::string memory = readFile(memoryGoldenDir() + "/" + name + ".txt");
  const std::string com = readFile(goldenDir() + "/" + name + ".jsonl");
  ASSERT_FALSE(memory.empty()) << "no in-memory transcript " << name;
  ASSERT_FALSE(com.empty()) << "no COM transcript " << name;
  const GoldenFacts expected = factsOfMemoryTranscript(memory);
  const GoldenFacts seen = factsOfJsonLines(com);
  EXPECT_FALSE(expected.list.empty() && expected.messages.empty()) << "the in-memory transcript was read";
  EXPECT_EQ(describe(seen), describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Roads, GoldenAgreement,
                         ::testing::Values("first_run", "search_road", "configure_cancel", "configure_continue",
                                           "help"));

}  // namespace
}  // namespace corvale::windouble
