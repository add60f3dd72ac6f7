// Tests for the repair ladder, including the whole
// JSONTestSuite corpus.

#include <gtest/gtest.h>

#include <cstddef>      // size_t
#include <filesystem>   // directory_iterator
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/value.h"
#include "tarnwick/writer.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

RepairOutcome repair(std::string_view text, RepairOptions options = {}) {
  return run_ladder(text, options);
}

// The outcome's invariants: json is the canonical text of value, parses
// strictly and writes back to itself; ok and changed follow the strategy.
void check_outcome(const RepairOutcome& out) {
  EXPECT_EQ(out.json, to_canonical_text(out.value));
  ReadResult<JsonValue> again = parse_document(out.json);
  ASSERT_TRUE(again.ok()) << out.json;
  EXPECT_EQ(to_canonical_text(again.value()), out.json);
  EXPECT_EQ(out.ok, out.strategy != Strategy::Fallback);
  EXPECT_EQ(out.changed, out.strategy != Strategy::Parse);
}

struct Case {
  std::string input;
  std::string json;
  Strategy strategy;
};

TEST(Ladder, StrategyNames) {
  EXPECT_EQ(strategy_name(Strategy::Parse), "parse");
  EXPECT_EQ(strategy_name(Strategy::StripFences), "strip-fences");
  EXPECT_EQ(strategy_name(Strategy::StripControls), "strip-controls");
  EXPECT_EQ(strategy_name(Strategy::StripTrailingCommas),
            "strip-trailing-commas");
  EXPECT_EQ(strategy_name(Strategy::UnwrapDouble), "unwrap-double");
  EXPECT_EQ(strategy_name(Strategy::Tolerant), "tolerant");
  EXPECT_EQ(strategy_name(Strategy::Fallback), "fallback");
  EXPECT_EQ(static_cast<int>(Strategy::UnwrapDouble), 4);
}

TEST(Ladder, MakeOutcome) {
  RepairOutcome out =
      make_outcome(JsonValue(JsonArray()), true, Strategy::Tolerant, true);
  EXPECT_EQ(out.json, "[]");
  EXPECT_EQ(out.value.kind(), ValueKind::Array);
  EXPECT_TRUE(out.ok);
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(out.strategy, Strategy::Tolerant);
}

TEST(Ladder, EdgeCases) {
  const std::vector<Case> cases = {
      {"", "null", Strategy::Fallback},
      {"null", "null", Strategy::Parse},
      {"  \n null \r\n", "null", Strategy::Parse},
      {R"("{\"a\":1}")", R"({"a":1})", Strategy::UnwrapDouble},
      {R"("\"x\"")", R"("\"x\"")", Strategy::Parse},
      {R"("1")", R"("1")", Strategy::Parse},
      {R"("true")", R"("true")", Strategy::Parse},
      {R"("{\"a\":")", R"("{\"a\":")", Strategy::Parse},
      {R"("\"{\\\"a\\\":1}\"")", R"("\"{\\\"a\\\":1}\"")", Strategy::Parse},
      {"[1,2,]", "[1,2]", Strategy::StripTrailingCommas},
      {"```json\n[1,2,]\n```", "[1,2]", Strategy::StripTrailingCommas},
      {"```json\n{\"a\": 1}\n```", R"({"a":1})", Strategy::StripFences},
      {"{\"a\": \"x\ny\"}", R"({"a":"x\ny"})", Strategy::StripControls},
      {"\xC2\xA0null", "null", Strategy::Tolerant},
      {"nul", "null", Strategy::Fallback},
      {"{\"a\": 1,}", R"({"a":1})", Strategy::StripTrailingCommas},
      {"```json\n{\"a\": 1,}\n```", R"({"a":1})",
       Strategy::StripTrailingCommas},
      {"```\n{\"a\": \"x\ny\",}\n```", R"({"a":"x\ny"})",
       Strategy::StripTrailingCommas},
      {"```\n{\"a\": \"x\ny\"}\n```", R"({"a":"x\ny"})",
       Strategy::StripControls},
      {"[1, 2", "[1,2]", Strategy::Tolerant},
      {"Here is the JSON: {\"a\":1}", "null", Strategy::Fallback},
      {"\xC2\xA0 null \xE3\x80\x80", "null", Strategy::Tolerant},
      {"[null", "[null]", Strategy::Tolerant},
      {"{\"a\":1}\n{\"b\":2}", R"({"a":1})", Strategy::Tolerant},
      {"```json\n[1]\n```\nDone.", "[1]", Strategy::Tolerant},
      {R"(" [1] ")", "[1]", Strategy::UnwrapDouble},
      {"\"\"", "\"\"", Strategy::Parse},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    RepairOutcome out = repair(c.input);
    EXPECT_EQ(out.json, c.json);
    EXPECT_EQ(strategy_name(out.strategy), strategy_name(c.strategy));
    check_outcome(out);
  }
}

TEST(Ladder, Options) {
  RepairOptions empty_object;
  empty_object.fallback = FallbackKind::EmptyObject;
  RepairOutcome out = repair("", empty_object);
  EXPECT_EQ(out.json, "{}");
  EXPECT_EQ(out.strategy, Strategy::Fallback);
  EXPECT_FALSE(out.ok);
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(out.value.kind(), ValueKind::Object);

  RepairOptions no_unwrap;
  no_unwrap.unwrap_double_encoded = false;
  out = repair(R"("{\"a\":1}")", no_unwrap);
  EXPECT_EQ(out.strategy, Strategy::Parse);
  EXPECT_FALSE(out.changed);
  EXPECT_EQ(out.json, R"("{\"a\":1}")");

  RepairOptions no_fences;
  no_fences.strip_code_fences = false;
  out = repair("```json\n{\"a\": 1}\n```", no_fences);
  EXPECT_EQ(out.strategy, Strategy::Fallback);
  EXPECT_EQ(out.json, "null");
  out = repair("```json\n{\"a\": 1}\n```", no_fences);
  check_outcome(out);
}

TEST(Ladder, SizeGuard) {
  // 5,000,000 bytes of valid JSON parse; one byte more falls back.
  std::string doc = "[" + repeat("0,", 2'499'998) + "0]";
  doc += ' ';
  ASSERT_EQ(doc.size(), DEFAULT_MAX_LEN);
  RepairOutcome out = repair(doc);
  EXPECT_EQ(out.strategy, Strategy::Parse);
  doc += ' ';
  out = repair(doc);
  EXPECT_EQ(out.strategy, Strategy::Fallback);
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.json, "null");

  RepairOptions zero;
  zero.max_len = 0;
  out = repair("", zero);
  EXPECT_EQ(out.strategy, Strategy::Fallback);  // climbed, nothing found
  out = repair("1", zero);
  EXPECT_EQ(out.strategy, Strategy::Fallback);

  RepairOptions one;
  one.max_len = 1;
  out = repair("\xC3\xA9", one);  // "é" is two bytes
  EXPECT_EQ(out.strategy, Strategy::Fallback);
  out = repair("1", one);
  EXPECT_EQ(out.strategy, Strategy::Parse);
  one.fallback = FallbackKind::EmptyObject;
  out = repair("12", one);
  EXPECT_EQ(out.json, "{}");
}

TEST(Ladder, CumulativeWorkingText) {
  // Fences removed in rung 2, controls in 3, commas in 4: the last acting
  // rung names the result.
  RepairOutcome out = repair("```\n[\"a\tb\",]\n```");
  EXPECT_EQ(out.strategy, Strategy::StripTrailingCommas);
  EXPECT_EQ(out.json, R"(["a\tb"])");
  // Everything cleaned, still broken: the tolerant parser sees the cleaned
  // text (the escaped tab, no fence).
  out = repair("```\n[\"a\tb\", [1,]\n```");
  EXPECT_EQ(out.strategy, Strategy::Tolerant);
  EXPECT_EQ(out.json, R"(["a\tb",[1]])");
}

// Every prefix of a valid document repairs to JSON that parses strictly.
TEST(Ladder, EveryPrefixOfAValidDocument) {
  const std::string doc =
      "{\"name\": \"caf\xC3\xA9 \\\"x\\\" \\u00e9\\ud83d\\ude00\", "
      "\"list\": [1, -2.5e3, true, false, null, {\"k\": []}],\n"
      " \"n\": -0, \"big\": 18446744073709551616}";
  ASSERT_TRUE(parse_document(doc).ok());
  for (std::size_t n = 0; n <= doc.size(); ++n) {
    SCOPED_TRACE("prefix length " + std::to_string(n));
    RepairOutcome out = repair(std::string_view(doc).substr(0, n));
    check_outcome(out);
  }
}

TEST(Ladder, Deterministic) {
  const std::vector<std::string> inputs = {"",
                                           "[1,",
                                           "```json\n{\"a\":1,}\n```",
                                           "{\"a\": \"x\ny\"",
                                           "\"{\\\"a\\\": [1]}\"",
                                           "garbage"};
  for (const std::string& input : inputs) {
    RepairOutcome a = repair(input);
    RepairOutcome b = repair(input);
    EXPECT_EQ(a.json, b.json);
    EXPECT_EQ(a.strategy, b.strategy);
    EXPECT_TRUE(a.value == b.value);
  }
}

// Hostile shapes through the whole ladder at a moderate size.
TEST(Ladder, HostileShapes) {
  constexpr std::size_t kSize = 300'000;
  const std::vector<std::string> shapes = {
      repeat("[", kSize),
      repeat(R"({"a":)", kSize / 5),
      repeat(R"("\)", kSize / 2),
      repeat(",", kSize),
      repeat("`", kSize),
      repeat("]}", kSize / 2),
      "[" + repeat("]}", kSize / 2),
      "```\n" + repeat("[", kSize),
      "[\"" + repeat("\n", kSize),
      repeat("[1,", kSize / 3),
      repeat(", ", kSize / 2) + "]",
      repeat("\xE3\x80\x80", kSize / 3),
  };
  for (const std::string& text : shapes) {
    SCOPED_TRACE("shape starts " + text.substr(0, 12) + ", length " +
                 std::to_string(text.size()));
    RepairOutcome out = repair(text);
    check_outcome(out);
  }
}

// MARK: - JSONTestSuite

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Ladder, JsonTestSuite) {
  const std::filesystem::path dir = TARNWICK_CORPUS_DIR;
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".json") continue;
    ++files;
    SCOPED_TRACE(name);
    const std::string text = read_file(entry.path());
    RepairOutcome out = repair(text);
    check_outcome(out);
    if (name.starts_with("y_")) {
      EXPECT_EQ(strategy_name(out.strategy), "parse");
    }
    if (name.starts_with("n_")) {
      EXPECT_NE(out.strategy, Strategy::Parse);
    }
    RepairOutcome again = repair(text);
    EXPECT_EQ(again.json, out.json);
    EXPECT_EQ(again.strategy, out.strategy);
  }
  EXPECT_GT(files, 300u);
}

}  // namespace
}  // namespace tarnwick
