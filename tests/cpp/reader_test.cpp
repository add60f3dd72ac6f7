#include "tarnwick/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick/writer.h"

namespace tarnwick {
namespace {

using K = ReadErrorKind;

std::string canon(std::string_view text) {
  ReadResult<JsonValue> r = parse_document(text);
  return r.ok() ? to_canonical_text(r.value()) : std::string("<error>");
}

TEST(Reader, AcceptsAndWritesCanonically) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {" 1 ", "1"},
      {"\t\r\n[ ]\n", "[]"},
      {"{}", "{}"},
      {"[{}]", "[{}]"},
      {R"({"a":1,"b":2,"a":3})", R"({"a":3,"b":2})"},
      {R"({"a":1,"\u0061":2})", R"({"a":2})"},
      {R"({"":1,"":2})", R"({"":2})"},
      {"\"\\t\"", "\"\\t\""},
      {R"("\ud83d\ude00")", "\"\xF0\x9F\x98\x80\""},
      {R"("\u0000")", R"("\u0000")"},
      {R"("\/\b\f")", R"("/\b\f")"},
      {"\"\x7F\xC3\xA9\"", "\"\x7F\xC3\xA9\""},
      {"0", "0"},
      {"-0", "-0.0"},
      {"-0.0", "-0.0"},
      {"18446744073709551615", "18446744073709551615"},
      {"18446744073709551616", "1.8446744073709552e+19"},
      {"-9223372036854775808", "-9223372036854775808"},
      {"-9223372036854775809", "-9.223372036854776e+18"},
      {"1.0", "1.0"},
      {"1e0", "1.0"},
      {"1E+2", "100.0"},
      {"1.50", "1.5"},
      {"1e-400", "0.0"},
      {"-1e-400", "-0.0"},
      {"0e99999", "0.0"},
      {"0e99999999999", "0.0"},
      {"1e-99999999999", "0.0"},
      {"-5e-99999999999", "-0.0"},
      {"nulL ", "<error>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(canon(c.input), c.expected);
  }
}

TEST(Reader, RejectsWithKindAndPosition) {
  struct Case {
    std::string input;
    K kind;
    std::uint32_t line;
    std::uint32_t column;
  };
  const std::vector<Case> cases = {
      {"", K::EofInValue, 1, 0},
      {"   ", K::EofInValue, 1, 3},
      {"1 2", K::TrailingCharacters, 1, 3},
      {"\xEF\xBB\xBF{}", K::ExpectedValue, 1, 1},
      {"[1,]", K::TrailingComma, 1, 4},
      {"{\"a\":1,}", K::TrailingComma, 1, 8},
      {"[1 2]", K::ExpectedArrayCommaOrEnd, 1, 4},
      {"{\"a\" 1}", K::ExpectedColon, 1, 6},
      {"{a:1}", K::KeyMustBeString, 1, 2},
      {"{\"a\":1,x}", K::KeyMustBeString, 1, 8},
      {"{\"a\":1 x}", K::ExpectedObjectCommaOrEnd, 1, 8},
      {"[", K::EofInArray, 1, 1},
      {"[1", K::EofInArray, 1, 2},
      {"[1,", K::EofInValue, 1, 3},
      {"{", K::EofInObject, 1, 1},
      {"{\"a\"", K::EofInObject, 1, 4},
      {"{\"a\":", K::EofInValue, 1, 5},
      {"\"\t\"", K::ControlCharacterInString, 1, 2},
      {"\"abc", K::EofInString, 1, 4},
      {"\"\\", K::EofInString, 1, 2},
      {"\"\\x\"", K::InvalidEscape, 1, 3},
      {"\"\\ud83d\"", K::UnexpectedEndOfHexEscape, 1, 8},
      {"\"\\ud83dx\"", K::UnexpectedEndOfHexEscape, 1, 8},
      {"\"\\ud83d", K::EofInString, 1, 7},
      {"\"\\ude00\"", K::LoneSurrogate, 1, 7},
      {"\"\\ud83d\\u0041\"", K::LoneSurrogate, 1, 13},
      {"[\"\\u12\"]", K::InvalidEscape, 1, 7},
      {"\"\\u12\"", K::EofInString, 1, 6},
      {"True", K::ExpectedValue, 1, 1},
      {"NULL", K::ExpectedValue, 1, 1},
      {"nul", K::EofInValue, 1, 3},
      {"nulx", K::ExpectedLiteral, 1, 4},
      {"nullx", K::TrailingCharacters, 1, 5},
      {"NaN", K::ExpectedValue, 1, 1},
      {"-Infinity", K::InvalidNumber, 1, 2},
      {"+1", K::ExpectedValue, 1, 1},
      {".5", K::ExpectedValue, 1, 1},
      {"0x10", K::TrailingCharacters, 1, 2},
      {"01", K::InvalidNumber, 1, 2},
      {"-01", K::InvalidNumber, 1, 3},
      {"-", K::EofInValue, 1, 1},
      {"1.", K::EofInValue, 1, 2},
      {"1.e3", K::InvalidNumber, 1, 3},
      {"1e", K::EofInValue, 1, 2},
      {"1e+", K::EofInValue, 1, 3},
      {"1ex", K::InvalidNumber, 1, 3},
      {"1x", K::TrailingCharacters, 1, 2},
      {"[1x]", K::ExpectedArrayCommaOrEnd, 1, 3},
      {"1e309", K::NumberOutOfRange, 1, 5},
      {"1e99999999999", K::NumberOutOfRange, 1, 13},
      {"-1e99999999999", K::NumberOutOfRange, 1, 14},
      {"1.7976931348623159e308", K::NumberOutOfRange, 1, 22},
      {"[\n1,\n]", K::TrailingComma, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ReadResult<JsonValue> r = parse_document(c.input);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, c.kind);
    EXPECT_EQ(r.error().line, c.line);
    EXPECT_EQ(r.error().column, c.column);
  }
}

TEST(Reader, NestingBudgetIs127OpenContainers) {
  for (const char* pair : {"[]", "{}"}) {
    SCOPED_TRACE(pair);
    const bool object = pair[0] == '{';
    auto nested = [&](int depth) {
      std::string s;
      for (int i = 0; i < depth; ++i) s += object ? "{\"k\":" : "[";
      s += "1";
      for (int i = 0; i < depth; ++i) s += pair[1];
      return s;
    };
    EXPECT_TRUE(parse_document(nested(127)).ok());
    ReadResult<JsonValue> r = parse_document(nested(128));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, K::RecursionLimitExceeded);
  }
  // Siblings do not consume budget.
  std::string wide = "[";
  for (int i = 0; i < 1000; ++i) wide += "[[]],";
  wide += "1]";
  EXPECT_TRUE(parse_document(wide).ok());
  // A megabyte of openers fails at the budget, not on the stack.
  EXPECT_EQ(parse_document(std::string(1 << 20, '[')).error().kind,
            K::RecursionLimitExceeded);
}

TEST(Reader, ContainerAndNumberDocuments) {
  EXPECT_FALSE(parse_container("1").has_value());
  EXPECT_FALSE(parse_container("\"[]\"").has_value());
  EXPECT_FALSE(parse_container("null").has_value());
  EXPECT_FALSE(parse_container("[").has_value());
  EXPECT_TRUE(parse_container(" [] ").has_value());
  EXPECT_TRUE(parse_container("{}").has_value());

  ReadResult<JsonNumber> n = parse_number_document(" -12.5e3 ");
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(n.value().kind(), NumberKind::Float);
  EXPECT_EQ(n.value().as_double(), -12500.0);
  struct Case {
    std::string input;
    K kind;
  };
  const std::vector<Case> bad = {
      {"12abc", K::TrailingCharacters},
      {"abc", K::ExpectedValue},
      {"\"12\"", K::NotANumber},
      {"true", K::NotANumber},
      {"tru", K::EofInValue},
      {"[1]", K::NotANumber},
      {"{", K::NotANumber},
      {"", K::EofInValue},
      {"\"12", K::EofInString},
  };
  for (const Case& c : bad) {
    SCOPED_TRACE(c.input);
    ReadResult<JsonNumber> r = parse_number_document(c.input);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, c.kind);
  }
}

TEST(Reader, EscapeFreeAndEscapedStringsAgree) {
  // Long strings cross the eight-byte scan at every offset of the special byte.
  for (std::size_t len = 0; len < 40; ++len) {
    std::string body(len, 'x');
    for (std::size_t at = 0; at <= len; ++at) {
      std::string escaped = body;
      escaped.insert(at, "\\n");
      ReadResult<JsonValue> r = parse_document("\"" + escaped + "\"");
      ASSERT_TRUE(r.ok());
      std::string want = body;
      want.insert(at, "\n");
      EXPECT_EQ(r.value().as_string(), want);
      std::string raw = body;
      raw.insert(at, "\x01");
      EXPECT_EQ(parse_document("\"" + raw + "\"").error().kind,
                K::ControlCharacterInString);
    }
  }
}

TEST(Reader, MayBeDocumentRulesOutOnlyFailures) {
  struct Case {
    const char* text;
    bool may;
  };
  const std::vector<Case> cases = {
      {"", false},
      {" \n\t\r", false},
      {"{", false},
      {"[1,", false},
      {"{\"a\": tru", false},
      {"x", false},
      {"\xEF\xBB\xBF{}", false},
      {"{} \n", true},
      {" [1] ", true},
      {"\"s\"", true},
      {"-1", true},
      {"0", true},
      {"true", true},
      {"false", true},
      {"null", true},
      {"{]", true},
      {"1.5e3", true},
      {"\"never closed", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(may_be_document(c.text), c.may);
  }
  // Every prefix of valid documents: a prefix that parses is never ruled out.
  for (const std::string doc :
       {"{\"a\": [1, 2.5e3, -0, true, false, null, \"x\\\"y\"]}",
        " [ {\"k\": {}} , [] , \"\" ] ", "123", "\"only\""}) {
    for (std::size_t n = 0; n <= doc.size(); ++n) {
      const std::string prefix = doc.substr(0, n);
      SCOPED_TRACE(prefix);
      if (parse_document(prefix).ok()) {
        EXPECT_TRUE(may_be_document(prefix));
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick
