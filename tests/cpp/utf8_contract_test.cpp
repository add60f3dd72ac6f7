// What run_ladder does with text that is not valid UTF-8, as repair.h states
// it: the strict rungs keep such bytes, the tolerant rung reads each one as
// U+FFFD.
#include "tarnwick/repair.h"
#include "test_util.h"

namespace tarnwick {
namespace {

using test::check_outcome;

// Byte runs that hold no well-formed UTF-8 sequence at all, so each of their
// bytes is one replacement character.
const std::vector<std::string> kIllFormed = {
    "\x80",              // a continuation byte alone
    "\xC3",              // a two-byte lead with nothing after it
    "\xE2\x82",          // a three-byte sequence cut after two
    "\xC0\xAF",          // "/" in an overlong form
    "\xED\xA0\xBD",      // the surrogate U+D83D encoded
    "\xF4\x90\x80\x80",  // above U+10FFFF
    "\xFE\xFF",          // bytes UTF-8 never uses
};

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// `text` with every '@' replaced by `bytes`.
std::string fill(std::string_view text, std::string_view bytes) {
  std::string out;
  for (char c : text) {
    if (c == '@') {
      out.append(bytes);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F) {
      out.push_back(c);
    } else {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    }
  }
  return out;
}

// Every rung that reads strictly passes the bytes of a string through
// untouched, into the value and the canonical text; "parse" says unchanged.
TEST(Utf8Contract, StrictRungsKeepIllFormedBytes) {
  struct Row {
    std::string_view input;  // '@' stands for the ill-formed bytes
    std::string_view json;
    std::string_view strategy;
  };
  const std::vector<Row> rows = {
      {R"(["@"])", R"(["@"])", "parse"},
      {R"({"k@": "@v"})", R"({"k@":"@v"})", "parse"},
      {R"("[\"@\"]")", R"(["@"])", "unwrap-double"},
      {"```json\n[\"@\"]\n```", R"(["@"])", "strip-fences"},
      {"[\"@\ty\"]", R"(["@\ty"])", "strip-controls"},
      {R"({"a": ["@", 1,],})", R"({"a":["@",1]})", "strip-trailing-commas"},
  };
  for (const std::string& bytes : kIllFormed) {
    for (const Row& row : rows) {
      const std::string input = fill(row.input, bytes);
      SCOPED_TRACE("input: " + printable(input));
      RepairOutcome out = run_ladder(input, {});
      EXPECT_EQ(out.json, fill(row.json, bytes));
      EXPECT_EQ(strategy_name(out.strategy), row.strategy);
      check_outcome(out);
    }
  }
  // The value holds the bytes too, not only its text.
  RepairOutcome out = run_ladder("\"a\xFF\"", {});
  ASSERT_EQ(out.value.kind(), ValueKind::String);
  EXPECT_EQ(out.value.as_string(), "a\xFF");
  EXPECT_FALSE(out.changed);
}

// The tolerant rung answers exactly as it does for the same text with one
// U+FFFD in place of each ill-formed byte: in a string it is that character,
// elsewhere a character that starts no value.
TEST(Utf8Contract, TolerantRungReadsEachByteAsReplacement) {
  struct Row {
    std::string_view input;  // '@' stands for the ill-formed bytes
    std::string_view strategy;
  };
  const std::vector<Row> rows = {
      {R"(["@")", "tolerant"},  // cut off inside a string
      {R"({"k@": "v", "a": 1)", "tolerant"},
      {R"("@)", "tolerant"},
      {R"(["a", "@"] and text)", "tolerant"},
      {"[1, @ 2]", "tolerant"},       // between values
      {R"({@"a": 1})", "tolerant"},   // where a key belongs
      {R"({"a": @ 1})", "tolerant"},  // where a value belongs
      {"[1] @", "tolerant"},          // after the value
      {"@[1]", "fallback"},           // before any value
  };
  for (const std::string& bytes : kIllFormed) {
    std::string replaced;
    for (std::size_t i = 0; i < bytes.size(); ++i) replaced += kReplacement;
    for (const Row& row : rows) {
      const std::string input = fill(row.input, bytes);
      SCOPED_TRACE("input: " + printable(input));
      RepairOutcome out = run_ladder(input, {});
      RepairOutcome same = run_ladder(fill(row.input, replaced), {});
      EXPECT_EQ(out.json, same.json);
      EXPECT_EQ(out.strategy, same.strategy);
      EXPECT_EQ(strategy_name(out.strategy), row.strategy);
      check_outcome(out);
    }
  }
}

// Spelled out, so that the rule above cannot drift with the text it is
// compared against; and an escaped lone surrogate, which the strict reader
// refuses, is no way to make ill-formed UTF-8 either.
TEST(Utf8Contract, ReplacementSpelledOut) {
  const std::string r = kReplacement;
  const std::vector<test::Case> cases = {
      {"[\"\xE2\x82\"", "[\"" + r + r + "\"]"},
      {"[\"\xC3\xA9\xFF\", 1", "[\"\xC3\xA9" + r + "\",1]"},
      {R"(["\ud800"])", "[\"" + r + "\"]"},
      {R"(["\udc00\ud800"])", "[\"" + r + r + "\"]"},
  };
  for (const test::Case& c : cases) {
    SCOPED_TRACE("input: " + printable(c.input));
    RepairOutcome out = run_ladder(c.input, {});
    EXPECT_EQ(out.json, c.expected);
    EXPECT_EQ(out.strategy, Strategy::Tolerant);
    check_outcome(out);
  }
}

}  // namespace
}  // namespace tarnwick
