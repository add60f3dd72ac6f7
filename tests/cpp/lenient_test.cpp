#include "tarnwick/lenient.h"

#include "lenient/extraction.h"
#include "tarnwick/extract.h"
#include "test_util.h"

namespace tarnwick {
namespace {

using test::canon;

// The names of a fix set, comma-separated, in reporting order.
std::string names(FixSet fixes) {
  std::string out;
  for (std::size_t i = 0; i < FIX_COUNT; ++i) {
    if ((fixes & fix_bit(fix_at(i))) == 0) continue;
    if (!out.empty()) out += ",";
    out += fix_name(fix_at(i));
  }
  return out;
}

// The strict document the pass makes of `text`: its canonical form.
std::string rewritten(std::string_view text, LenientText& out,
                      LenientScope scope = LenientScope::Document) {
  out = lenient_rewrite(text, scope);
  if (!out.found) return "<none>";
  return canon(out.changed ? std::string_view(out.text)
                           : text.substr(0, out.end));
}

TEST(Lenient, EachFamily) {
  struct Row {
    std::string input;
    std::string json;
    std::string fixes;
  };
  const std::vector<Row> rows = {
      {"{'name': 'Ada', 'active': True, 'manager': None}",
       R"({"name":"Ada","active":true,"manager":null})", "quotes,literals"},
      {R"(['don't', 'it's "x"', 'a\'b'])", R"(["don't","it's \"x\"","a'b"])",
       "quotes,escapes"},
      {"{\xE2\x80\x9C"
       "a\xE2\x80\x9D: \xE2\x80\x98"
       "b\xE2\x80\x99, `c`: "
       "\xE2\x80\x9E"
       "d\xE2\x80\x9C}",
       R"({"a":"b","c":"d"})", "quotes"},
      {"{\"flag\": /* on */ true, // why\n \"n\": 2, # hash\n}",
       R"({"flag":true,"n":2})", "comments,trailing-commas"},
      {"[TRUE, False, NULL, Null, undefined, NaN, -Infinity]",
       "[true,false,null,null,null,null,null]", "literals"},
      {"{name: \"x\", caf\xC3\xA9: 1, $ref: 2, tags: [a, b]}",
       "{\"name\":\"x\",\"caf\xC3\xA9\":1,\"$ref\":2,\"tags\":[\"a\",\"b\"]}",
       "unquoted-keys,bare-words"},
      {"{\"id\": 746de9ad-25d8, \"d\": 2024-01-15, \"who\": John Smith}",
       R"({"id":"746de9ad-25d8","d":"2024-01-15","who":"John Smith"})",
       "bare-words"},
      {R"({"key": "apple "bee" carrot", "b": ["say "hi" now"]})",
       R"({"key":"apple \"bee\" carrot","b":["say \"hi\" now"]})",
       "inner-quotes"},
      {"[82_461_110, .5, -.25, 5., +1, 0x1f, 0b101, 007, 1e5]",
       "[82461110,0.5,-0.25,5.0,1,31,5,7,100000.0]", "numbers"},
      {"[1e400, 0x]", R"([null,"0x"])", "bare-words,numbers"},
      {"{\"s\": \"x\x08y\x01\"}", R"({"s":"x\by\u0001"})",
       "control-characters"},
      {R"({"p": "C:\Users\new", "q": "a\nb"})",
       R"({"p":"C:\\Users\\new","q":"a\nb"})", "escapes"},
      // An array left open before its object's next key.
      {"{\"a\": [1, 2\n \"b\": 3}", R"({"a":[1,2],"b":3})",
       "missing-punctuation,brackets"},
      // A quote lost at either end of a key or a value.
      {R"({"a": "x, "b": y", c": 1})", R"({"a":"x","b":"y","c":1})", "quotes"},
      {"{\"a\": \"x,\t\"b\": 1}", R"({"a":"x","b":1})", "quotes"},
      {R"({"a": "x",,, "b": "y" and more)", R"({"a":"x","b":"y"})",
       "trailing-commas,truncated"},
      {R"(["a\x", "\ud800", "\ud83d\ude00"])",
       "[\"a\\\\x\",\"\xEF\xBF\xBD\",\"\xF0\x9F\x98\x80\"]", "escapes"},
      {"[1, 2, 3, ...]", "[1,2,3]", "ellipsis,trailing-commas"},
      {"{\"a\": 1, \xE2\x80\xA6}", R"({"a":1})", "ellipsis,trailing-commas"},
      {"callback({\"a\": 1});", R"({"a":1})", "wrappers"},
      {R"x({"_id": ObjectId("5f1"), "n": NumberLong(2), "e": Foo(), "m": f(1, [2, ")"])})x",
       R"({"_id":"5f1","n":2,"e":null,"m":1})", "wrappers"},
      {R"("a" + 'b' + "c")", R"("abc")", "concatenation"},
      {"1\n2\n3", "[1,2,3]", "multiple-values"},
      {"{\"a\": 1}, {\"b\": 2}", R"([{"a":1},{"b":2}])", "multiple-values"},
      {R"({\"a\": \"x\\ny\"})", R"({"a":"x\ny"})", "escaped-document"},
      {"{\"a\" 1 \"b\": 2 \"c\"}", R"({"a":1,"b":2,"c":null})",
       "missing-punctuation"},
      {"[1,,2,]", "[1,2]", "trailing-commas"},
      {"{\"a\": [1, 2}", R"({"a":[1,2]})", "brackets"},
      {"{\"key\": \"value\"}, \"key2\": \"value2\"}",
       R"({"key":"value","key2":"value2"})", "brackets"},
      {"{\"s\": \"caf\\u00", R"({"s":"caf"})", "truncated"},
      {"{\"a\": [1, {\"b\": \"x", R"({"a":[1,{"b":"x"}]})", "truncated"},
      {"{\"a\": 1, \"b", R"({"a":1})", "truncated"},
      {"[1, 2\n3, 4", "[1,2,3,4]", "missing-punctuation,truncated"},
      {"{\"a\": 1} and then some words", R"({"a":1})", "trailing-text"},
      {"{'p': (1, 'b',), \"q\": [tr", R"({"p":[1,"b"],"q":[true]})",
       "quotes,trailing-commas,brackets,truncated"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("input: " + row.input);
    LenientText out;
    EXPECT_EQ(rewritten(row.input, out), row.json);
    EXPECT_EQ(names(out.fixes), row.fixes);
    // Text after the value is left out, not rewritten.
    EXPECT_EQ(out.changed, out.to_end);
  }
}

TEST(Lenient, NothingToRead) {
  // Prose and fences start no value: the caller looks elsewhere.
  for (const char* text : {"", "   ", "Sure! Here it is: {\"a\": 1}",
                           "```json\n{}\n```", "]", "hello world"}) {
    SCOPED_TRACE(text);
    const LenientText out = lenient_rewrite(text);
    EXPECT_FALSE(out.found);
    EXPECT_FALSE(out.changed);
  }
}

// At the nesting limit a tuple loses its parentheses and what follows stays
// in the array around it; no comma is left dangling before its end.
TEST(Lenient, TuplesAtTheNestingLimit) {
  for (const char* tail :
       {"\"\"(", "\"a\" (1, 2", "1 (", "1 (2) 3", "[(", "\"\"((("}) {
    for (const std::size_t depth : {125u, 126u, 127u}) {
      const std::string text = std::string(depth, '[') + tail;
      SCOPED_TRACE(text);
      const LenientText out = lenient_rewrite(text);
      ASSERT_TRUE(out.found);
      EXPECT_TRUE(out.changed);
      EXPECT_TRUE(parse_document(out.text).ok());
    }
  }
}

// Every strict document stands as it is, and every rewrite is strict and
// stands as it is when read again.
TEST(Lenient, IdentityAndFixedPointOnCorpus) {
  namespace fs = std::filesystem;
  std::size_t strict = 0;
  for (const auto& entry : fs::directory_iterator(TARNWICK_CORPUS_DIR)) {
    const std::string text = test::slurp(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    for (const LenientScope scope :
         {LenientScope::Document, LenientScope::OneValue}) {
      const LenientText out = lenient_rewrite(text, scope);
      if (parse_document(text).ok()) {
        ++strict;
        EXPECT_TRUE(out.found);
        EXPECT_FALSE(out.changed);
        EXPECT_EQ(out.fixes, 0u);
        EXPECT_TRUE(out.to_end);
      } else if (out.changed) {
        EXPECT_NE(canon(out.text), "<error>") << out.text;
        EXPECT_FALSE(lenient_rewrite(out.text, scope).changed);
      }
    }
  }
  EXPECT_GT(strict, 200u);
}

// A reply cut anywhere keeps what came before the cut.
TEST(Lenient, EveryPrefixOfAReply) {
  const std::string reply =
      "{'user': {name: \"Ada\", 'tags': [\"x\", y, 0x1f], /* c */ "
      "\"note\": \"caf\\u00e9 \"ok\" \\ud83d\\ude00\"}, n: [1, 2.5e3, True]}";
  for (std::size_t cut = 1; cut <= reply.size(); ++cut) {
    const std::string_view text = std::string_view(reply).substr(0, cut);
    SCOPED_TRACE(std::string(text));
    LenientText out;
    const std::string json = rewritten(text, out);
    EXPECT_NE(json, "<error>");
    EXPECT_EQ(json.front(), '{');
  }
}

TEST(Extract, Search) {
  struct Row {
    std::string input;
    std::string json;
    std::string_view strategy;
    std::string span;  // the part of the input that held the JSON
    ExtractOptions options = {};
  };
  const std::vector<Row> rows = {
      {"Sure! Here it is: {'a': 1}. Enjoy.", R"({"a":1})", "parse", "{'a': 1}"},
      {"Here:\n```json\n{a: 1, b: [x, y],}\n```\nDone.",
       R"({"a":1,"b":["x","y"]})", "parse", "{a: 1, b: [x, y],}"},
      // A fence inside a string is part of the string.
      {"{\"a\": \"x ``` [1,2]\n\", \"b\": 1,}",
       R"({"a":"x ``` [1,2]\n","b":1})", "parse",
       "{\"a\": \"x ``` [1,2]\n\", \"b\": 1,}"},
      // Link text and reference marks give way to the data.
      {"See [the docs](https://x.org) and [1]. Data: [{\"id\": 1}, {\"id\": 2",
       R"([{"id":1},{"id":2}])", "parse", "[{\"id\": 1}, {\"id\": 2"},
      {"see [1]", "[1]", "parse", "[1]"},
      {"Result:\n~~~json\n{a: 1}\n~~~\nbye", R"({"a":1})", "parse", "{a: 1}"},
      {"I could not find any JSON.", "null", "fallback",
       "I could not find any JSON."},
      // Without the lenient pass: the ladder's own readings.
      {"{'a': 1}",
       "{}",
       "tolerant",
       "{'a': 1}",
       {.repair = {}, .lenient = false}},
      {"Data: ```\n\"x\"\n```",
       "null",
       "fallback",
       "Data: ```\n\"x\"\n```",
       {.repair = {.strip_code_fences = false}, .lenient = false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("input: " + row.input);
    const Extraction found = run_extract(row.input, row.options);
    EXPECT_EQ(found.outcome.json, row.json);
    EXPECT_EQ(strategy_name(found.outcome.strategy), row.strategy);
    EXPECT_EQ(
        row.input.substr(found.span_begin, found.span_end - found.span_begin),
        row.span);
    // changed is false only for a text read as strict JSON as it stood:
    // "parse", no fix, nothing but JSON whitespace around the span.
    const std::string_view input = row.input;
    const bool around =
        input.substr(0, found.span_begin).find_first_not_of(" \t\r\n") !=
            std::string_view::npos ||
        input.substr(found.span_end).find_first_not_of(" \t\r\n") !=
            std::string_view::npos;
    EXPECT_EQ(found.outcome.changed,
              found.outcome.strategy != Strategy::Parse || found.fixes != 0 ||
                  around);
    EXPECT_EQ(found.outcome.json, to_canonical_text(found.outcome.value));
    EXPECT_EQ(test::canon(found.outcome.json), found.outcome.json);
    EXPECT_EQ(found.outcome.ok, found.outcome.strategy != Strategy::Fallback);
  }
}

TEST(Extract, ShapeOfJson) {
  struct Row {
    std::string json;
    std::size_t weight;
    bool holds_nothing;
    bool reference_like;
  };
  const std::vector<Row> rows = {
      {"null", 0, false, false},
      {"[]", 0, true, true},
      {"{}", 0, true, true},
      {"[null,null]", 0, true, false},
      {R"({"a":null})", 0, true, false},
      {"[1,-2,3]", 3, false, true},
      {"[1.5]", 1, false, false},
      {"[true]", 1, false, false},
      {"[[1]]", 1, false, false},
      // Words: two or more characters between layout, punctuation and
      // escapes; "null" and lone characters are none.
      {R"({"name":"Ada Lovelace","k":"null x, y:z"})", 3, false, false},
      {R"(["caf\u0000\"b\"de"])", 2, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.json);
    const detail::ValueShape shape = detail::shape_of_json(row.json);
    EXPECT_EQ(shape.weight, row.weight);
    EXPECT_EQ(shape.holds_nothing, row.holds_nothing);
    EXPECT_EQ(shape.reference_like, row.reference_like);
  }
}

}  // namespace
}  // namespace tarnwick
