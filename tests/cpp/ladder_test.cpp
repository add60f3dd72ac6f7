#include "tarnwick/repair.h"
#include "test_util.h"

namespace tarnwick {
namespace {

using test::check_outcome;

TEST(Ladder, EdgeCases) {
  struct Case {
    std::string input;
    std::string json;
    std::string_view strategy;
    RepairOptions options = {};
  };
  const std::vector<Case> cases = {
      {"", "null", "fallback"},
      {"", "{}", "fallback", {.fallback = FallbackKind::EmptyObject}},
      {"null", "null", "parse"},
      {"  \n null \r\n", "null", "parse"},
      {R"("{\"a\":1}")", R"({"a":1})", "unwrap-double"},
      {R"("[1]")", R"("[1]")", "parse", {.unwrap_double_encoded = false}},
      {R"(" \n[1, 2]\r\n\t")", "[1,2]", "unwrap-double"},
      {R"("\u00a0[1]")", "\"\xC2\xA0[1]\"", "parse"},
      {R"("")", R"("")", "parse"},
      {R"("\"x\"")", R"("\"x\"")", "parse"},
      {R"("1")", R"("1")", "parse"},
      {R"("true")", R"("true")", "parse"},
      {R"("{\"a\":")", R"("{\"a\":")", "parse"},
      {R"("\"{\\\"a\\\":1}\"")", R"("\"{\\\"a\\\":1}\"")", "parse"},
      {"[1,2,]", "[1,2]", "strip-trailing-commas"},
      {"```json\n[1,2,]\n```", "[1,2]", "strip-trailing-commas"},
      {"```json\n{\"a\": 1,}\n```", R"({"a":1})", "strip-trailing-commas"},
      {"```json\n{\"a\": 1}\n```", R"({"a":1})", "strip-fences"},
      {"```\n[1]\n```", "null", "fallback", {.strip_code_fences = false}},
      {"{\"a\": \"x\ny\"}", R"({"a":"x\ny"})", "strip-controls"},
      {"```\n{\"a\": \"x\ny\"}\n```", R"({"a":"x\ny"})", "strip-controls"},
      // Each cleanup rung works on the text the previous one left, and the
      // tolerant parser sees the fully cleaned text.
      {"```\n[\"a\tb\",]\n```", R"(["a\tb"])", "strip-trailing-commas"},
      {"```\n[\"a\tb\", [1,]\n```", R"(["a\tb",[1]])", "tolerant"},
      {"\xC2\xA0null", "null", "tolerant"},
      {"[1, 2", "[1,2]", "tolerant"},
      {"```json\n[1]\n```\nDone.", "[1]", "tolerant"},
      {"nul", "null", "fallback"},
      {"Here is the JSON: {\"a\":1}", "null", "fallback"},
      // The size guard counts UTF-8 bytes; the empty text still climbs.
      {"", "null", "fallback", {.max_len = 0}},
      {"1", "null", "fallback", {.max_len = 0}},
      {"\xC3\xA9", "null", "fallback", {.max_len = 1}},
      {"1", "1", "parse", {.max_len = 1}},
      {"12", "{}", "fallback", {1, FallbackKind::EmptyObject}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    RepairOutcome out = run_ladder(c.input, c.options);
    EXPECT_EQ(out.json, c.json);
    EXPECT_EQ(strategy_name(out.strategy), c.strategy);
    check_outcome(out);
  }
}

// The parse rung builds its text from the input when only whitespace and
// number spellings differ; these sit on either side of each shortcut.
TEST(Ladder, ParsedTextReusedOnlyWhereCanonical) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[1.5,-0.125,3.0,0.0,-0.0,0.00001]",
       "[1.5,-0.125,3.0,0.0,-0.0,0.00001]"},
      {"[0.000001,1.50,5.00,0.10,100.0]", "[1e-6,1.5,5.0,0.1,100.0]"},
      {"[12345678901234.5,123456789012345.6]",
       "[12345678901234.5,123456789012345.6]"},
      {"[0.30000000000000004,1.0000000000000001]", "[0.30000000000000004,1.0]"},
      {"[1e-08,1E2,-0,1e16,18446744073709551616]",
       "[1e-8,100.0,-0.0,1e+16,1.8446744073709552e+19]"},
      {" {\"a\" : [ 1 ,\t2 ] }\n", R"({"a":[1,2]})"},
      {R"({"a":1,"b":2,"a":3})", R"({"a":3,"b":2})"},
      {R"(["\/","\u00e9","\u001f","\n\"\\"])",
       "[\"/\",\"\xC3\xA9\",\"\\u001f\",\"\\n\\\"\\\\\"]"},
  };
  for (const auto& [input, json] : cases) {
    SCOPED_TRACE("input: " + input);
    RepairOutcome out = run_ladder(input, {});
    EXPECT_EQ(out.strategy, Strategy::Parse);
    EXPECT_EQ(out.json, json);
    check_outcome(out);
  }
}

TEST(Ladder, DefaultSizeLimit) {
  std::string doc = "[" + test::repeat("0,", 2'499'998) + "0] ";
  ASSERT_EQ(doc.size(), DEFAULT_MAX_LEN);
  EXPECT_EQ(run_ladder(doc, {}).strategy, Strategy::Parse);
  doc += ' ';
  EXPECT_EQ(run_ladder(doc, {}).strategy, Strategy::Fallback);
}

TEST(Ladder, EveryPrefixOfAValidDocument) {
  const std::string doc =
      "{\"name\": \"caf\xC3\xA9 \\\"x\\\" \\u00e9\\ud83d\\ude00\", "
      "\"list\": [1, -2.5e3, true, false, null, {\"k\": []}],\n"
      " \"n\": -0, \"big\": 18446744073709551616}";
  ASSERT_TRUE(parse_document(doc).ok());
  for (std::size_t n = 0; n <= doc.size(); ++n) {
    SCOPED_TRACE("prefix length " + std::to_string(n));
    check_outcome(run_ladder(std::string_view(doc).substr(0, n), {}));
  }
}

}  // namespace
}  // namespace tarnwick
