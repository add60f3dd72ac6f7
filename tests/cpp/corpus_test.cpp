// The JSONTestSuite corpus through the strict reader and the whole ladder.
#include "test_util.h"

namespace tarnwick {
namespace {

// y_ files are read, n_ files refused, i_ files either way. The ladder answers
// as the reader decided and twice alike; accepted values round-trip.
TEST(Corpus, StrictVerdictsAndLadderAnswers) {
  std::size_t files = 0;
  for (const auto& e :
       std::filesystem::directory_iterator(TARNWICK_CORPUS_DIR)) {
    if (e.path().extension() != ".json") continue;
    const std::string name = e.path().filename().string();
    SCOPED_TRACE(name);
    ++files;
    const std::string text = test::slurp(e.path());
    ReadResult<JsonValue> r = parse_document(text);
    const char kind = name[0];  // 'y', 'n' or 'i'
    EXPECT_TRUE(kind == 'i' || r.ok() == (kind == 'y'));
    // The ladder skips parses this rules out, so it must never refuse one.
    EXPECT_TRUE(!r.ok() || may_be_document(text));
    const RepairOutcome out = run_ladder(text, {});
    test::check_outcome(out);
    const RepairOutcome twice = run_ladder(text, {});
    EXPECT_EQ(twice.json, out.json);
    EXPECT_EQ(twice.strategy, out.strategy);
    if (!r.ok()) {
      EXPECT_NE(out.strategy, Strategy::Parse);
      continue;
    }
    const std::string once = to_canonical_text(r.value());
    ReadResult<JsonValue> again = parse_document(once);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.value() == r.value());
    EXPECT_EQ(to_canonical_text(again.value()), once);
    EXPECT_TRUE(kind != 'y' || out.strategy == Strategy::Parse);
    if (out.strategy == Strategy::Parse) {
      EXPECT_EQ(out.json, once);
    }
  }
  EXPECT_GT(files, 300u);
}

}  // namespace
}  // namespace tarnwick
