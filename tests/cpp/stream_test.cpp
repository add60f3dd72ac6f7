// The stream's contract: the value after each chunk follows the prefix rule
// whatever the chunking, equals the extraction of the text so far at every
// comma, and close() is the extraction of the whole text.
#include "tarnwick/stream.h"

#include <algorithm>  // min
#include <random>     // mt19937

#include "stream_events.h"
#include "tarnwick/extract.h"
#include "test_util.h"

namespace tarnwick::test {
namespace {

using fuzz::describe;
using fuzz::ends_on_comma;

// `text` cut into chunks: every `size` bytes, or sizes drawn from 1..8 when
// `seed` is set. Chunks end anywhere: inside UTF-8 sequences too.
std::vector<std::string_view> chunked(std::string_view text, std::size_t size,
                                      unsigned seed = 0) {
  std::vector<std::string_view> out;
  std::mt19937 rng(seed);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = seed == 0 ? size : 1 + rng() % 8;
    out.push_back(text.substr(at, std::min(n, text.size() - at)));
    at += out.back().size();
  }
  return out;
}

struct Run {
  std::vector<std::string> events;
  bool incremental = true;
};

// Feeds `chunks`, checking after each that the value extends the last one
// and, at a comma of a strict text, equals the extraction so far; then that
// close() is the extraction of the whole.
Run check_stream(std::string_view text,
                 const std::vector<std::string_view>& chunks) {
  Stream stream;
  Run run;
  JsonValue last;
  bool shown = false;
  std::size_t fed = 0;
  for (const std::string_view chunk : chunks) {
    for (const StreamEvent& e : stream.feed(chunk)) describe(e, run.events);
    fed += chunk.size();
    JsonValue now = stream.value();
    if (shown) {
      EXPECT_TRUE(extends(last, now))
          << to_canonical_text(last) << " then " << to_canonical_text(now)
          << " at " << fed;
    }
    shown = shown || !now.is_null();
    if (stream.incremental() && !stream.done() && ends_on_comma(text, fed)) {
      const Extraction so_far = run_extract(text.substr(0, fed), {});
      EXPECT_EQ(to_canonical_text(now), so_far.outcome.json) << "at " << fed;
    }
    last = std::move(now);
  }
  const Extraction whole = run_extract(text, {});
  const Extraction closed = stream.close();
  EXPECT_EQ(closed.outcome.json, whole.outcome.json);
  EXPECT_EQ(closed.outcome.strategy, whole.outcome.strategy);
  EXPECT_EQ(closed.fixes, whole.fixes);
  EXPECT_EQ(closed.span_begin, whole.span_begin);
  EXPECT_EQ(closed.span_end, whole.span_end);
  run.incremental = stream.incremental();
  return run;
}

// Every chunking of `text` keeps the contract and gives the same events.
void check_chunkings(std::string_view text) {
  const Run whole = check_stream(text, {text});
  for (const unsigned seed : {0u, 1u, 2u}) {
    SCOPED_TRACE(seed);
    const Run run = check_stream(text, chunked(text, 1, seed));
    EXPECT_EQ(run.events, whole.events);
    EXPECT_EQ(run.incremental, whole.incremental);
  }
}

// Replies as models write them: prose, fences, escapes, every kind of value.
const std::vector<std::string> kReplies = {
    R"({"name": "get_weather", "arguments": {"city": "Zürich", "days": 3}})",
    "Sure! Here is the data:\n```json\n[{\"id\": 1, \"tags\": [\"a\", "
    "\"b\"]}, {\"id\": -2.5e3, \"ok\": true, \"none\": null}]\n```\nDone.",
    R"(["\u00e9\ud83d\ude00\n\t\"\\\/", "日本語 😀", 0, -0, 1.5E+2, false])",
    "Here you go: {\"a\": {\"b\": [1, [2, [3, {}]], []]}, \"c\": \"\"}",
    "  [1, 2, 3]  trailing prose",
    "\xEF\xBB\xBF{\"bom\": 1}",
    "42 is the answer",
    "nothing here [1, 2",
    "```json\n{'single': 'quotes', /* comment */ \"x\": True,}\n```",
    R"({"a": 1, "a": 2, "b": [1, 2, 3]})",
    R"(["lone \ud800 surrogate", 1, 2, 3, 4, 5, 6, 7])",
    "[1, 2, 3,]",
    "```\n[1, {\"a\": \"b\"\n```\nand then",
    "[\"\x01 raw control\"]",
};

TEST(StreamContract, RepliesUnderEveryChunking) {
  for (const std::string& text : kReplies) {
    SCOPED_TRACE(text);
    check_chunkings(text);
  }
}

TEST(StreamContract, ConformanceCorpus) {
  std::size_t files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(TARNWICK_CORPUS_DIR)) {
    const std::string text = slurp(entry.path());
    if (text.size() > 4096) continue;  // the deep-nesting files: seconds each
    SCOPED_TRACE(entry.path().filename().string());
    check_chunkings(text);
    // A strict document streams to the value the strict reader gives.
    if (entry.path().filename().string().starts_with("y_")) {
      Stream stream;
      for (const auto chunk : chunked(text, 3)) (void)stream.feed(chunk);
      if (stream.incremental() && stream.done()) {
        EXPECT_EQ(to_canonical_text(stream.value()), canon(text));
      }
    }
    ++files;
  }
  EXPECT_GT(files, 300u);
}

// The value after each chunk, as canonical text.
struct PrefixCase {
  std::vector<std::string> chunks;
  std::vector<std::string> values;
  bool done;
  bool incremental;
};

TEST(StreamPrefixRule, ValueAfterEachChunk) {
  const std::vector<PrefixCase> cases = {
      {{"[1", ", 2", "]"}, {"[]", "[1]", "[1,2]"}, true, true},
      {{"{\"ke", "y\": ", "\"va", "l\\", "u00e9", "\"}"},
       {"{}", "{}", R"({"key":"va"})", R"({"key":"val"})", R"({"key":"valé"})",
        R"({"key":"valé"})"},
       true,
       true},
      {{"[tr", "ue", " ,nul", "l]"},
       {"[]", "[]", "[true]", "[true,null]"},
       true,
       true},
      {{"[\"\\ud83d", "\\ude00\"", ""},
       {"[\"\"]", "[\"😀\"]", "[\"😀\"]"},
       false,
       true},
      {{"[\"\xF0\x9F", "\x98\x80\"]"}, {"[\"\"]", "[\"😀\"]"}, true, true},
      {{"Sure: ", "```json\n", "{\"a\": [", "]}", "\n```"},
       {"-", "-", R"({"a":[]})", R"({"a":[]})", R"({"a":[]})"},
       true,
       true},
      {{"12", "3"}, {"-", "-"}, false, true},
      {{"{\"a\": 1", "}"}, {"{}", R"({"a":1})"}, true, true},
      // Off the strict grammar: read again once the text grew by half.
      {{"[1, 2, ", "'x'", ", 3, 4, 5, 6]"},
       {"[1,2]", "[1,2]", "[1,2,\"x\",3,4,5,6]"},
       false,
       false},
      {{"```json\n[1, ", "2", "\n```"}, {"[1]", "[1]", "[1,2]"}, true, false},
  };
  for (const PrefixCase& c : cases) {
    SCOPED_TRACE(c.chunks.front());
    Stream stream;
    for (std::size_t k = 0; k < c.chunks.size(); ++k) {
      (void)stream.feed(c.chunks[k]);
      // None of the rows holds a null: "-" is the value before any.
      EXPECT_EQ(to_canonical_text(stream.value()),
                c.values[k] == "-" ? "null" : c.values[k])
          << "after chunk " << k;
    }
    EXPECT_EQ(stream.done(), c.done);
    EXPECT_EQ(stream.incremental(), c.incremental);
  }
}

TEST(StreamLimits, PastMaxLenStopsAndClosesAsExtract) {
  ExtractOptions options;
  options.repair.max_len = 10;
  const std::string text = "[1, 2, 3, 4, 5]";
  StreamParser parser(options);
  StreamValue value;
  for (const auto chunk : chunked(text, 4)) value.apply(parser.feed(chunk));
  EXPECT_TRUE(parser.done());
  EXPECT_FALSE(parser.incremental());
  EXPECT_EQ(to_canonical_text(parser.fallback_value()), "[1,2,3]");
  const Extraction closed = parser.close();
  const Extraction whole = run_extract(text, options);
  EXPECT_EQ(closed.outcome.strategy, Strategy::Fallback);
  EXPECT_EQ(closed.span_end, whole.span_end);
  EXPECT_LE(parser.text().size(), 11u);
}

TEST(StreamLimits, DepthPastTheReadersLimitLeavesTheIncrementalPath) {
  Stream stream;
  (void)stream.feed(nest(127, "1"));
  EXPECT_TRUE(stream.incremental());
  Stream deeper;
  (void)deeper.feed(nest(128, "1"));
  EXPECT_FALSE(deeper.incremental());
}

TEST(StreamPrefixRelation, Extends) {
  const std::vector<std::pair<std::string, std::string>> yes = {
      {"[]", "[1]"},        {"[\"a\"]", "[\"ab\", 2]"},
      {"{}", "{\"a\":1}"},  {"{\"a\":[1]}", "{\"a\":[1,2],\"b\":3}"},
      {"\"x\"", "\"xyz\""}, {"[[1],[2]]", "[[1],[2,3]]"},
  };
  const std::vector<std::pair<std::string, std::string>> no = {
      {"[1]", "[]"},
      {"[\"ab\",2]", "[\"abc\",2]"},
      {"{\"a\":1}", "{\"b\":1}"},
      {"[1,2]", "[1,23]"},
      {"{}", "[]"},
      {"[[1],[2]]", "[[1,3],[2]]"},
  };
  for (const auto& [a, b] : yes) {
    EXPECT_TRUE(extends(parse_document(a).value(), parse_document(b).value()))
        << a << " then " << b;
  }
  for (const auto& [a, b] : no) {
    EXPECT_FALSE(extends(parse_document(a).value(), parse_document(b).value()))
        << a << " then " << b;
  }
}

}  // namespace
}  // namespace tarnwick::test
