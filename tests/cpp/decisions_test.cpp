// The lenient pass's decisions between two readings, one table per
// decision, and the extraction's choice among candidates.

#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/extract.h"
#include "tarnwick/lenient.h"
#include "test_util.h"

namespace tarnwick {
namespace {

using test::canon;

struct Row {
  std::string input;
  std::string json;  // canonical
  bool guessed;
};

// The lenient pass's reading of each row, and whether it says it guessed.
void expect_rows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE("input: " + row.input);
    const LenientText out = lenient_rewrite(row.input);
    ASSERT_TRUE(out.found);
    EXPECT_EQ(canon(out.changed ? std::string_view(out.text)
                                : std::string_view(row.input)),
              row.json);
    EXPECT_EQ(out.guessed, row.guessed);
  }
}

TEST(Decisions, WhereAStringThatLostItsQuoteEnds) {
  expect_rows({
      {R"({"city": "Oslo, "zip": "0150"})", R"({"city":"Oslo","zip":"0150"})",
       true},
      {R"({"dir": "src/app})", R"({"dir":"src/app"})", true},
      {R"({"a": {"b": "x]}})", R"({"a":{"b":"x]"}})", true},
      {R"({"t": "Hello {name}})", R"({"t":"Hello {name}"})", true},
      {R"({"t": "Hello {name})", R"({"t":"Hello {name}"})", false},
      {"{\"a\": \"x\n  \"b\": 2}", R"({"a":"x","b":2})", true},
      {"[\"a\n  \"b\"]", R"(["a","b"])", true},
      {"[{\"a\": \"x\n  },\n  {\"a\": 2}]", R"([{"a":"x"},{"a":2}])", true},
      {R"([{"l": "first}, {"l": "second"}])",
       R"([{"l":"first"},{"l":"second"}])", true},
      {"{\"s\": \"cut here\n", R"({"s":"cut here"})", false},
  });
}

TEST(Decisions, MissingCommasAgainstInnerQuotes) {
  expect_rows({
      {R"(["north" "south"   "east"])", R"(["north","south","east"])", false},
      {R"({"q": "say "hi" now"})", R"({"q":"say \"hi\" now"})", false},
      {R"({"log": "expected "}" here", "n": 1})",
       R"({"log":"expected \"}\" here","n":1})", false},
      {R"([["a" 1] ["b" 2]])", R"([["a",1],["b",2]])", false},
      {R"({"key "with" quotes": 1})", R"({"key \"with\" quotes":1})", false},
      {"[\"x\"\n \"say \"y\" now\"]", R"(["x","say \"y\" now"])", false},
  });
}

TEST(Decisions, AContainerWhereAKeyBelongs) {
  expect_rows({
      {R"([{"a": 1, {"a": 2}])", R"([{"a":1},{"a":2}])", false},
      {R"({{"a": 1}})", R"({"a":1})", false},
      {R"({"a": 1, {"b": 2}})", R"({"a":1,"b":2})", true},
      {R"({"r": [{"a": 1}], {"a": 2}})", R"({"r":[{"a":1},{"a":2}]})", true},
      {R"([{"t": ["x"], {"t": []}])", R"([{"t":["x"]},{"t":[]}])", false},
      {R"({"a": 1, [2, 3]})", R"({"a":1})", true},
  });
}

TEST(Decisions, WhichFrameAMismatchedCloserCloses) {
  expect_rows({
      {R"({"a": [1, 2}, "b": 3})", R"({"a":[1,2],"b":3})", false},
      {R"({"u": {"r": ["a"}, "x": 1})", R"({"u":{"r":["a"]},"x":1})", false},
      {R"({"n": {"r": ["a"}, "x": 1}})", R"({"n":{"r":["a"],"x":1}})", false},
      {R"({"q": {"d": 3], "u": "m"})", R"({"q":{"d":3},"u":"m"})", false},
      {R"({"l": [1, 2]]], "n": 1})", R"({"l":[1,2],"n":1})", false},
      {R"([{"a": 1], {"a": 2}])", R"([{"a":1},{"a":2}])", false},
  });
}

TEST(Decisions, TokensOfOtherLanguages) {
  expect_rows({
      {"[\xE2\x80\x8B"
       "1,\xE2\x81\xA0 2\xEF\xBB\xBF]",
       "[1,2]", false},
      {"(1, 'a', None)", R"([1,"a",null])", false},
      {R"({"p": ({"a": 1}), "s": ("x",)})", R"({"p":{"a":1},"s":["x"]})",
       false},
      {"{name = \"Ada\", \"n\" => 2; k: 3}", R"({"name":"Ada","n":2,"k":3})",
       false},
      {"{key \"value\"}", R"({"key":"value"})", false},
      {"{\"a\": [1, 2\nThat is all, thanks.", R"({"a":[1,2]})", false},
      {"{\"p\": (1", R"({"p":1})", false},
      {"[true false null]", "[true,false,null]", false},
      {R"({'s': u'x', "h": "\x41"})", R"({"s":"x","h":"A"})", false},
      {"{color: #ff8800}", R"({"color":"#ff8800"})", false},
      {R"({"a" "b": 1})", R"({"a":null,"b":1})", true},
      {R"({"p": "C:\temp\Users"})", R"({"p":"C:\\temp\\Users"})", false},
  });
}

TEST(Decisions, LayoutAndPunctuationOfReplies) {
  expect_rows({
      {"> {\n>   \"a\": [1,\n>>    2]\n> }", R"({"a":[1,2]})", false},
      {"{\"a\": \"x > y\",\n  \"b\": 1}", R"({"a":"x > y","b":1})", false},
      {"1. {\"a\": 1}\n2. {\"a\": 2}", R"([{"a":1},{"a":2}])", false},
      {"- \"x\"\n* [1]\n+ {}", R"(["x",[1],{}])", true},  // mixed kinds
      {"{\"名\"：\"佐藤\"，\"n\"：25，\"t\": true}",
       R"({"名":"佐藤","n":25,"t":true})", false},
      {"{k：v，n：[1，2]}", R"({"k":"v","n":[1,2]})", false},
      {"{\"x\":\xC2\xA0true\xC2\xA0}", R"({"x":true})", false},
      {"{\"n\": 2,148,000, \"m\": 1}", R"({"n":2148000,"m":1})", false},
      {"{\"n\": 12,345.5}", R"({"n":12345.5})", true},
      {"[2,148,000]", "[2,148,0]", false},
      {"{\"n\": 1,2345}", R"({"n":1})", true},
      {"{\"t\": 21,5\n}", R"({"t":21.5})", true},
      {"{\"a\": 1}\n---\n{\"a\": 2}", R"([{"a":1},{"a":2}])", false},
      {"- {\"a\": 1}\n\n1 of 2 hosts is down.", R"({"a":1})", false},
      {"[5, 3\nThought: sorted now.\n", "[5,3]", false},
      {"{\u3000\"k\": \"v\",\u3000\"n\"\u00a0:\u00a07}", R"({"k":"v","n":7})",
       false},
      {"{\"名\"，\"n\": 1}", R"({"名":null,"n":1})", true},
      // A lost closer where the indentation shows it, and only there.
      {"{\n  \"a\": {\n    \"b\": 1\n  \"c\": 2\n}", R"({"a":{"b":1},"c":2})",
       false},
      {"{\n  \"a\": {\n    \"b\": 1,\n  \"c\": 2\n  }\n}",
       R"({"a":{"b":1,"c":2}})", false},
      {"{\"a\": 1, \"b\": ", R"({"a":1})", false},
      {"{\"a\": 1, \"b\"", R"({"a":1})", false},
      {"[{\"a\":", "[{}]", false},
      {"[TOOL_CALLS] [{\"f\": 1}]", R"([{"f":1}])", false},
      {"[OK]", R"(["OK"])", false},
  });
}

// The extraction's candidates: fenced, bracketed, in reasoning blocks.
TEST(Decisions, Candidates) {
  struct Case {
    std::string input;
    std::vector<std::string> all;  // canonical, in text order
    std::string best;
    bool guessed;
  };
  const std::vector<Case> cases = {
      {"<think>draft {\"a\": 1}</think>\nfinal {\"a\": 2}",
       {R"({"a":1})", R"({"a":2})"},
       R"({"a":2})",
       false},
      {"<think>only {\"a\": 1}</think> no more",
       {R"({"a":1})"},
       R"({"a":1})",
       false},
      {"<think>open {\"a\": 1} and on", {R"({"a":1})"}, R"({"a":1})", false},
      {"```python\nprint('x')\n```\n```json\n{\"a\": 1}\n```",
       {R"("x")", R"({"a":1})"},
       R"({"a":1})",
       false},
      // What the prose before each value calls it decides between them.
      {"schema {\"type\": \"object\"} then data {\"a\": 1}",
       {R"({"type":"object"})", R"({"a":1})"},
       R"({"a":1})",
       false},
      {"{\"a\": 1}\nOops. Corrected: {\"a\": 2}",
       {R"({"a":1})", R"({"a":2})"},
       R"({"a":2})",
       false},
      {"Here: {\"a\": 1}\nFor example, {\"a\": 0} is also valid.",
       {R"({"a":1})", R"({"a":0})"},
       R"({"a":1})",
       false},
      {"Here: {\"a\": 1}\nAnd {\"a\": 2}",
       {R"({"a":1})", R"({"a":2})"},
       R"({"a":1})",
       true},
      {"v1: {\"a\": 1}\nFinal: {\"a\": 2}\nFinal, really: {\"a\": 3}",
       {R"({"a":1})", R"({"a":2})", R"({"a":3})"},
       R"({"a":3})",
       false},
      {"{\"a\": 1}\n{\"a\": 2}",
       {R"([{"a":1},{"a":2}])"},
       R"([{"a":1},{"a":2}])",
       false},
      {"Sure:\n(1, 2)", {"[1,2]"}, "[1,2]", false},
      {"<think>[1, {\"a\": 2</think>\n[3]",
       {R"([1,{"a":2}])", "[3]"},
       "[3]",
       false},
      {"Here:\n- {\"a\": 1}\n- {\"a\": 2}\nDone.",
       {R"([{"a":1},{"a":2}])"},
       R"([{"a":1},{"a":2}])",
       false},
      {"<tool_call>\n\"{\\\"a\\\": 1}\"\n</tool_call>",
       {R"({"a":1})"},
       R"({"a":1})",
       false},
      {"Tags:\n- \"a\"\n- \"b\"", {R"(["a","b"])"}, R"(["a","b"])", false},
      {"回答：［｛\"id\"：1｝，\"［x］\"］",
       {R"([{"id":1},"［x］"])"},
       R"([{"id":1},"［x］"])",
       false},
      {"[Internal notes omitted]\n{\"a\": 1}",
       {R"({"a":1})"},
       R"({"a":1})",
       false},
      {"```json\n{\n  \"id\":", {"{}"}, "{}", false},
      {"[1, 2, 4]\nSorry. Final list: [1, 2, 3, 4]\nAn example: []",
       {"[1,2,4]", "[1,2,3,4]"},
       "[1,2,3,4]",
       false},
      {"no JSON here (see the docs)", {}, "null", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    const ExtractOptions options;
    const std::vector<Extraction> all = run_extract_all(c.input, options);
    std::vector<std::string> jsons;
    for (const Extraction& e : all) jsons.push_back(e.outcome.json);
    EXPECT_EQ(jsons, c.all);
    const Extraction best = run_extract(c.input, options);
    EXPECT_EQ(best.outcome.json, c.best);
    EXPECT_EQ(best.guessed, c.guessed);
  }
}

}  // namespace
}  // namespace tarnwick
