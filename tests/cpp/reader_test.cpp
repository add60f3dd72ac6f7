#include "tarnwick/reader.h"

#include "test_util.h"

namespace tarnwick {
namespace {

using K = ReadErrorKind;
using test::nest;
using test::repeat;

// Read strictly and written canonically, with the writer's own cases. The
// integer limits share their number code with the tolerant parser's table.
TEST(Reader, AcceptsAndWritesCanonically) {
  const std::vector<test::Case> cases = {
      {" 1 ", "1"},
      {"\t\r\n[ null,true , false ]\n", "[null,true,false]"},
      {"{}", "{}"},
      {"[{}]", "[{}]"},
      {R"({"a":1,"b":2,"a":3})", R"({"a":3,"b":2})"},
      {R"({"a":1,"\u0061":2})", R"({"a":2})"},
      {R"({"":1,"":2})", R"({"":2})"},
      {R"("\ud83d\ude00")", "\"\xF0\x9F\x98\x80\""},
      {R"("\u0000\u001F")", R"("\u0000\u001f")"},
      {R"("\u0001\u007f\/\t\f\b\u000b\r\n\"\\")",
       "\"\\u0001\x7F/\\t\\f\\b\\u000b\\r\\n\\\"\\\\\""},
      {"\"\x7F\xC3\xA9\xE2\x80\xA8\"", "\"\x7F\xC3\xA9\xE2\x80\xA8\""},
      {"-1", "-1"},
      {"-0.0", "-0.0"},
      {"1.0", "1.0"},
      {"1e0", "1.0"},
      {"1E+2", "100.0"},
      {"1.50", "1.5"},
      {"-1e-400", "-0.0"},
      {"0e99999", "0.0"},
      {"0e99999999999", "0.0"},
      {"1e-99999999999", "0.0"},
      {"-5e-99999999999", "-0.0"},
      {nest(127, "1"), nest(127, "1")},
      {nest(127, "1", R"({"k":)", "}"), nest(127, "1", R"({"k":)", "}")},
      {"[" + repeat("[[]],", 1000) + "1]", "[" + repeat("[[]],", 1000) + "1]"},
  };
  for (const test::Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(test::canon(c.input), c.expected);
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
      {"\"\\ud83d", K::EofInString, 1, 7},
      {"\"\\ude00\"", K::LoneSurrogate, 1, 7},
      {"\"\\ud83d\\u0041\"", K::LoneSurrogate, 1, 13},
      {"[\"\\u12\"]", K::InvalidEscape, 1, 7},
      {"\"\\u12\"", K::EofInString, 1, 6},
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
      {"1.7976931348623159e308", K::NumberOutOfRange, 1, 22},
      {"[\n1,\n]", K::TrailingComma, 3, 1},
      {nest(128, "1"), K::RecursionLimitExceeded, 1, 128},
      {nest(128, "1", R"({"k":)", "}"), K::RecursionLimitExceeded, 1, 636},
      {std::string(1 << 20, '['), K::RecursionLimitExceeded, 1, 128},
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

TEST(Reader, ContainerAndNumberDocuments) {
  for (const char* text : {"1", "\"[]\"", "null", "["}) {
    EXPECT_FALSE(parse_container(text).has_value()) << text;
  }
  for (const char* text : {" [] ", "{}"}) {
    EXPECT_TRUE(parse_container(text).has_value()) << text;
  }
  ReadResult<JsonNumber> n = parse_number_document(" -12.5e3 ");
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(n.value().kind(), NumberKind::Float);
  EXPECT_EQ(n.value().as_double(), -12500.0);
  const std::pair<std::string, K> bad[] = {
      {"12abc", K::TrailingCharacters}, {"abc", K::ExpectedValue},
      {"\"12\"", K::NotANumber},        {"true", K::NotANumber},
      {"tru", K::EofInValue},           {"[1]", K::NotANumber},
      {"\"12", K::EofInString},
  };
  for (const auto& [text, kind] : bad) {
    ReadResult<JsonNumber> r = parse_number_document(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().kind, kind) << text;
  }
}

// A cut-off reply must be refused before a parse builds most of its value;
// the corpus test checks that no document is ever refused.
TEST(Reader, MayBeDocumentPairsTheEnds) {
  const std::pair<const char*, bool> cases[] = {
      {" {\"a\": [1, 2]} ", true},
      {"{\"a\": [1, 2]", false},
      {"{\"a\": \"b\"", false},
      {"[{\"a\": 1}", false},
      {"[1, 2", false},
      {"\"abc", false},
      {"\"", false},
      {"\"\"", true},
      {"-", false},
      {"-1", true},
      {"tru", false},
      {"nu", false},
      {"null", true},
      {"12", true},
      {"{\"a\":1}]", false},
      {"", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(may_be_document(text), expected) << text;
  }
}

}  // namespace
}  // namespace tarnwick
