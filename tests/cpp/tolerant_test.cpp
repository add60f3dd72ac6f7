// Tests for the tolerant parser.

#include <gtest/gtest.h>

#include <cmath>        // signbit
#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/reader.h"
#include "tarnwick/value.h"
#include "tarnwick/writer.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick::detail {
namespace {

using namespace std::string_literals;

std::string tolerant_json(std::string_view text) {
  return to_canonical_text(parse_tolerant(text));
}

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

// `depth` nested arrays around `inner`.
std::string nested_arrays(std::size_t depth, std::string_view inner) {
  return repeat("[", depth) + std::string(inner) + repeat("]", depth);
}

struct Case {
  std::string input;
  std::string expected;  // canonical compact text of the result
};

// The documented edge cases of the tolerant parser; each expected text is
// the documented result written in canonical form.
const std::vector<Case>& edge_cases() {
  static const std::vector<Case> cases = {
      {"", "null"},
      {" \t\n ", "null"},
      {R"(Here is the JSON: {"a":1})", "null"},
      {"# title\n{\"a\":1}", "null"},
      {"true story", "true"},
      {"false alarm", "false"},
      {"nothing here", "null"},
      {"[1, 2] trailing", "[1,2]"},
      {"123abc", "123"},
      {"+5", "null"},
      {".5", "null"},
      {"5.", "null"},
      {"007", "null"},
      {"1-2", "null"},
      {"1.5.2", "null"},
      {"123eabc", "null"},
      {"[+5, .5, 007]", "[null,null,null]"},
      {"-0", "-0.0"},
      {"18446744073709551615", "18446744073709551615"},
      {"18446744073709551616", "1.8446744073709552e+19"},
      {"-9223372036854775808", "-9223372036854775808"},
      {"-9223372036854775809", "-9.223372036854776e+18"},
      {"1e400", "null"},
      {"1e-400", "0.0"},
      {"[0, -0, 1e2, 1E-2, -1.5e+3]", "[0,-0.0,100.0,0.01,-1500.0]"},
      {"[1e5x]", "[100000.0]"},
      {"[nan]", "[null]"},
      {"[NaN]", "[]"},
      {"[Infinity]", "[null]"},
      {"[-Infinity]", "[null,null]"},
      {"[True, None]", "[null]"},
      {"[foo, bar]", "[null]"},
      {"[xyz]", "[]"},
      {"['true']", "[true]"},
      {"['a', 'b']", "[]"},
      {"[true1]", "[true,1]"},
      {R"({"a": True, "b": 1})", R"({"a":null,"b":1})"},
      {R"({"a": nul})", R"({"a":null})"},
      {R"({"a": -Infinity})", R"({"a":null})"},
      {R"({"a":.5})", R"({"a":null})"},
      {"[1 2 3]", "[1,2,3]"},
      {"[1,,2]", "[1,2]"},
      {"[,1]", "[1]"},
      {"[1,]", "[1]"},
      {R"({"a":1,})", R"({"a":1})"},
      {R"({"a":1 "b":2})", R"({"a":1,"b":2})"},
      {R"({"a" 1})", R"({"a":1})"},
      {R"({"a"::1})", R"({"a":null})"},
      {R"({"a" "b"})", R"({"a":"b"})"},
      {R"(["a": 1])", R"(["a",1])"},
      {R"({"a":1,"b"})", R"({"a":1,"b":null})"},
      {R"({"a":)", R"({"a":null})"},
      {R"({"a")", R"({"a":null})"},
      {"{a: 1}", "{}"},
      {"{'a': 1}", "{}"},
      {R"({name: "x"})", R"({"x":null})"},
      {"[1, // comment\n2]", "[1,null,2]"},
      {"{\"a\": 1, // the \"b\" key\n\"b\": 2}", R"({"a":1,"b":2})"},
      {"[", "[]"},
      {"{", "{}"},
      {"\"", R"("")"},
      {"[1, 2", "[1,2]"},
      {"[[1, 2]", "[[1,2]]"},
      {R"({"a": [1, {"b": 2)", R"({"a":[1,{"b":2}]})"},
      {R"({"a": "hello)", R"({"a":"hello"})"},
      {R"("abc)", R"("abc")"},
      {"[1, 2}", "[1,2]"},
      {R"({"a": 1])", R"({"a":1})"},
      {R"({"a": [1, 2})", R"({"a":[1,2]})"},
      {R"([{"a": 1])", R"([{"a":1}])"},
      {R"({"a":[}]})", R"({"a":[]})"},
      {"[{]1]", "[{}]"},
      {R"({{"a": 1}})", R"({"a":1})"},
      {"[1, 2], 3]", "[1,2,3]"},
      {"[1] , [2]", "[1,[2]]"},
      {"[1],", "[1]"},
      {R"({"a":1}, "b": 2})", R"({"a":1,"b":2})"},
      {R"({"a":1},{"b":2})", R"({"a":1,"b":2})"},
      {"{\"a\":1}\n{\"b\":2}", R"({"a":1})"},
      {R"([{"a":1},{"b":2}])", R"([{"a":1},{"b":2}])"},
      {R"({"a":1,"a":2,"b":3})", R"({"a":2,"b":3})"},
      {R"("a\qb")", R"("a\\qb")"},
      {R"("it\'s")", R"("it\\'s")"},
      {R"("\u0041")", R"("A")"},
      {R"("\u41")", R"("A")"},
      {R"("\u00e9")", "\"\xC3\xA9\""},
      {R"("\uZZ")", R"("\u0000ZZ")"},
      {R"("\u")", R"("\u0000")"},
      {R"("\ud83d\ude00")", "\"\xF0\x9F\x98\x80\""},
      {R"("\ud83d\u0041x")", "\"\xEF\xBF\xBDx\""},
      {R"("\ud83d\uZ")", "\"\xEF\xBF\xBDZ\""},
      {R"("\ud83d")", "\"\xEF\xBF\xBD\""},
      {R"("\ude00")", "\"\xEF\xBF\xBD\""},
      {R"("abc\)", R"("abc\\")"},
      {"\"a\nb\tc\"", R"("a\nb\tc")"},
      {"[1,\xE2\x80\xA8 2]", "[1,2]"},
      {"\xE3\x80\x80[1]", "[1]"},
      {"\xC2\xA0[1]", "[1]"},
      {"[\xC2\xA0 1,\xE3\x80\x80 2]", "[1,2]"},
  };
  return cases;
}

TEST(TolerantParser, EdgeCases) {
  for (const Case& c : edge_cases()) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(tolerant_json(c.input), c.expected);
  }
}

TEST(TolerantParser, NumberKinds) {
  JsonValue v = parse_tolerant("18446744073709551615");
  ASSERT_EQ(v.kind(), ValueKind::Number);
  EXPECT_EQ(v.as_number().kind(), NumberKind::UnsignedInt);
  v = parse_tolerant("18446744073709551616");
  EXPECT_EQ(v.as_number().kind(), NumberKind::Float);
  v = parse_tolerant("-9223372036854775808");
  EXPECT_EQ(v.as_number().kind(), NumberKind::NegativeInt);
  v = parse_tolerant("-9223372036854775809");
  EXPECT_EQ(v.as_number().kind(), NumberKind::Float);
  v = parse_tolerant("-0");
  ASSERT_EQ(v.kind(), ValueKind::Number);
  EXPECT_EQ(v.as_number().kind(), NumberKind::Float);
  EXPECT_TRUE(std::signbit(v.as_number().as_double()));
  v = parse_tolerant("1e5");
  EXPECT_EQ(v.as_number().kind(), NumberKind::Float);
  EXPECT_EQ(v.as_number().as_double(), 100000.0);
}

TEST(TolerantParser, StringContents) {
  // Compared as bytes, not through the writer.
  EXPECT_EQ(parse_tolerant(R"("\uZZ")").as_string(), "\0ZZ"s);
  EXPECT_EQ(parse_tolerant(R"("a\qb")").as_string(), "a\\qb");
  EXPECT_EQ(parse_tolerant(R"("it\'s")").as_string(), "it\\'s");
  EXPECT_EQ(parse_tolerant("\"a\rb\x01\"").as_string(), "a\rb\x01");
  EXPECT_EQ(parse_tolerant(R"("\"\\\/\b\f\n\r\t")").as_string(),
            "\"\\/\b\f\n\r\t");
  EXPECT_EQ(parse_tolerant(R"("\uD83D\uDE00")").as_string(),
            "\xF0\x9F\x98\x80");
  // A backslash escapes a raw quote; the string then runs to the end.
  EXPECT_EQ(parse_tolerant(R"("a\")").as_string(), "a\"");
}

TEST(TolerantParser, Nesting) {
  EXPECT_EQ(tolerant_json(nested_arrays(120, "1")), nested_arrays(120, "1"));
  EXPECT_EQ(tolerant_json(nested_arrays(121, "1")), nested_arrays(120, "null"));
  EXPECT_EQ(tolerant_json(nested_arrays(120, R"({"x": "]}"})")),
            nested_arrays(120, "null"));
  EXPECT_EQ(tolerant_json(repeat("[", 121)), nested_arrays(120, "null"));

  // The whole text is consumed by the skip at depth 121.
  TolerantParser parser(nested_arrays(121, "1"));
  JsonValue v = parser.parse_value();
  EXPECT_EQ(parser.pos(), parser.length());
  EXPECT_EQ(parser.depth(), 0u);
  EXPECT_EQ(parser.peak_depth(), TolerantParser::MAX_DEPTH);

  // Objects count towards the same limit.
  std::string objects = repeat(R"({"a":)", 125) + "1" + repeat("}", 125);
  std::string expected = repeat(R"({"a":)", 120) + "null" + repeat("}", 120);
  EXPECT_EQ(tolerant_json(objects), expected);
}

TEST(TolerantParser, PositionAndStack) {
  TolerantParser parser("  [1, 2] rest");
  JsonValue v = parser.parse_value();
  EXPECT_EQ(to_canonical_text(v), "[1,2]");
  EXPECT_EQ(parser.pos(), 8u);  // after the ']'
  EXPECT_EQ(parser.depth(), 0u);

  // Positions count code points, not bytes.
  TolerantParser wide("\xC3\xA9\xC3\xA9 x");
  EXPECT_EQ(wide.length(), 4u);
  wide.skip_whitespace();
  EXPECT_EQ(wide.pos(), 0u);
  JsonValue none = wide.parse_value();
  EXPECT_TRUE(none.is_null());
  EXPECT_EQ(wide.pos(), 0u);  // no value starts at 'é'
}

TEST(TolerantParser, InvalidUtf8DecodesAsReplacement) {
  // The binding only passes valid UTF-8; the engine still must not misread.
  EXPECT_EQ(parse_tolerant("\"a\xFF\"").as_string(), "a\xEF\xBF\xBD");
  EXPECT_EQ(parse_tolerant("\"\xED\xA0\x80\"").as_string(),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(parse_tolerant("\"\xC3\"").as_string(), "\xEF\xBF\xBD");
}

// Hostile shapes at a moderate size: the parse terminates, consumes what the
// rules say, keeps the stack within MAX_DEPTH and yields writable JSON.
TEST(TolerantParser, HostileShapes) {
  constexpr std::size_t kSize = 200'000;
  const std::vector<std::string> shapes = {
      repeat("[", kSize),
      repeat("{", kSize),
      repeat(R"({"a":)", kSize / 5),
      repeat(R"("\)", kSize / 2),
      repeat(",", kSize),
      repeat("`", kSize),
      repeat("]}", kSize / 2),
      "[" + repeat("]}", kSize / 2),
      "{" + repeat("]}", kSize / 2),
      "[" + repeat("}", kSize),
      "{" + repeat("]", kSize),
      repeat("[{", kSize / 2),
      repeat("[1],", kSize / 4),
      repeat("[\"", kSize / 2),
      "[" + repeat("1", kSize),
      "[" + repeat("-", kSize),
      "\"" + repeat("\\u", kSize / 2),
      "[" + repeat(" ", kSize) + "1",
      repeat("[", 119) + repeat("}", kSize),
      repeat("{\"", kSize / 2),
  };
  for (const std::string& text : shapes) {
    SCOPED_TRACE("shape starts " + text.substr(0, 12) + ", length " +
                 std::to_string(text.size()));
    TolerantParser parser(text);
    parser.skip_whitespace();
    JsonValue v = parser.parse_value();
    EXPECT_LE(parser.peak_depth(), TolerantParser::MAX_DEPTH);
    EXPECT_EQ(parser.depth(), 0u);
    EXPECT_LE(parser.pos(), parser.length());
    std::string json = to_canonical_text(v);
    ReadResult<JsonValue> again = parse_document(json);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(to_canonical_text(again.value()), json);
  }
}

TEST(TolerantParser, TopLevelContinuationNeedsOutermost) {
  EXPECT_EQ(tolerant_json("[[1], 2], 3]"), "[[1],2,3]");
  EXPECT_EQ(tolerant_json("[[1]], [2]"), "[[1],[2]]");
  EXPECT_EQ(tolerant_json("{\"a\":1}  \n , \"b\":2}"), R"({"a":1,"b":2})");
  EXPECT_EQ(tolerant_json("[1]\n\n"), "[1]");
}

TEST(TolerantParser, Deterministic) {
  for (const Case& c : edge_cases()) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(tolerant_json(c.input), tolerant_json(c.input));
  }
}

}  // namespace
}  // namespace tarnwick::detail
