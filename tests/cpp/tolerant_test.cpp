#include <utility>  // pair

#include "test_util.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick::detail {
namespace {

using test::nest;
using test::repeat;

TEST(TolerantParser, EdgeCases) {
  const std::vector<test::Case> cases = {
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
      {nest(120, "1"), nest(120, "1")},
      {nest(121, "1"), nest(120, "null")},
      {nest(120, R"({"x": "]}"})"), nest(120, "null")},
      {repeat("[", 121), nest(120, "null")},
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
      // Also: the other escapes, raw controls, upper-case hex, objects in the
      // depth limit, continuation after the outermost closer, bad UTF-8.
      {R"("\"\\\/\b\f\n\r\t")", R"("\"\\/\b\f\n\r\t")"},
      {"\"a\rb\x01\"", R"("a\rb\u0001")"},
      {R"("\uD83D\uDE00")", "\"\xF0\x9F\x98\x80\""},
      {R"("a\")", R"("a\"")"},
      {nest(125, "1", R"({"a":)", "}"), nest(120, "null", R"({"a":)", "}")},
      {"[[1], 2], 3]", "[[1],2,3]"},
      {"{\"a\":1}  \n , \"b\":2}", R"({"a":1,"b":2})"},
      {"\"a\xFF\"", "\"a\xEF\xBF\xBD\""},
      {"\"\xED\xA0\x80\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\"\xC3\"", "\"\xEF\xBF\xBD\""},
      {"{\"a\": 1, \"a\": [2,\n", R"({"a":[2]})"},
      {"[{\"k\": }, {\"k\"", R"([{"k":null},{"k":null}])"},
      {"{\"a\":[1],[2]}, \"b\"", R"({"a":[1],"b":null})"},
      {"[1],[2] , {\"x\":\"\\u00e9\\/\"", R"([1,[2],{"x":"é/"}])"},
  };
  for (const test::Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(to_canonical_text(parse_tolerant(c.input)), c.expected);
    // The text written on the way agrees with the writer unless a key
    // repeated (the parser says so, and the ladder writes the tree then).
    std::string canonical;
    TolerantParser parser(c.input, &canonical);
    parser.skip_whitespace();
    if (!parser.parse_value().is_null() && parser.canonical_exact()) {
      EXPECT_EQ(canonical, c.expected);
    }
  }
}

TEST(TolerantParser, PositionAndDepth) {
  TolerantParser parser("  [1, 2] rest");
  EXPECT_EQ(to_canonical_text(parser.parse_value()), "[1,2]");
  EXPECT_EQ(parser.pos(), 8u);  // after the ']'

  // Positions count bytes; no value starts at 'é', so pos stays.
  TolerantParser wide("\xC3\xA9\xC3\xA9 x");
  EXPECT_EQ(wide.length(), 6u);
  EXPECT_TRUE(wide.parse_value().is_null());
  EXPECT_EQ(wide.pos(), 0u);

  // The skip at depth 121 consumes the whole text.
  const std::string nested = nest(121, "1");  // the parser reads it in place
  TolerantParser deep(nested);
  (void)deep.parse_value();
  EXPECT_EQ(deep.pos(), deep.length());
  EXPECT_EQ(deep.depth(), 0u);
  EXPECT_EQ(deep.peak_depth(), TolerantParser::MAX_DEPTH);
}

// Hostile shapes at a moderate size: the parser stays within its depth limit
// and ends, and the whole ladder answers with JSON that reads back.
TEST(TolerantParser, HostileShapes) {
  constexpr std::size_t kSize = 200'000;
  std::vector<std::string> shapes = {repeat("[", 119) + repeat("}", kSize),
                                     "[" + repeat(" ", kSize) + "1",
                                     repeat(", ", kSize / 2) + "]"};
  // A head, then a piece repeated to kSize bytes.
  const std::pair<std::string, std::string> pieces[] = {
      {"", "["},     {"", "{"},           {"", R"({"a":)"}, {"", R"("\)"},
      {"", ","},     {"", "`"},           {"", "]}"},       {"[", "]}"},
      {"{", "]}"},   {"[", "}"},          {"{", "]"},       {"", "[{"},
      {"", "[1],"},  {"", "[\""},         {"[", "1"},       {"[", "-"},
      {"\"", "\\u"}, {"", "{\""},         {"```\n", "["},   {"[\"", "\n"},
      {"", "[1,"},   {"", "\xE3\x80\x80"}};
  for (const auto& [head, piece] : pieces) {
    shapes.push_back(head + repeat(piece, kSize / piece.size()));
  }
  for (const std::string& text : shapes) {
    SCOPED_TRACE("shape starts " + text.substr(0, 12));
    TolerantParser parser(text);
    (void)parser.parse_value();
    EXPECT_LE(parser.peak_depth(), TolerantParser::MAX_DEPTH);
    EXPECT_EQ(parser.depth(), 0u);
    EXPECT_LE(parser.pos(), parser.length());
    test::check_outcome(run_ladder(text, {}));
  }
}

}  // namespace
}  // namespace tarnwick::detail
