// Tests for the text cleanup passes.

#include "repair/cleanup.h"

#include <gtest/gtest.h>

#include <cstddef>      // size_t
#include <optional>     // optional
#include <random>       // mt19937
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "repair/unicode.h"
#include "tarnwick/value.h"
#include "tarnwick/writer.h"

namespace tarnwick::detail {
namespace {

using namespace std::string_literals;

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

// The 25 White_Space code points in UTF-8.
const std::vector<std::string>& white_space_forms() {
  static const std::vector<std::string> forms = {
      "\t",           "\n",           "\v",
      "\f",           "\r",           " ",
      "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80",
      "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
      "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85",
      "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
      "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
      "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
      "\xE3\x80\x80",
  };
  return forms;
}

TEST(WhiteSpace, TheTwentyFiveCodePoints) {
  int count = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (is_white_space(c)) ++count;
  }
  EXPECT_EQ(count, 25);
  for (const std::string& form : white_space_forms()) {
    SCOPED_TRACE(form);
    const char* p = form.data();
    EXPECT_EQ(white_space_length(p, p + form.size()), form.size());
    std::size_t i = 0;
    EXPECT_TRUE(is_white_space(decode_utf8(form, i)));
    EXPECT_EQ(i, form.size());
  }
  // Near misses: zero width space, BOM, Mongolian vowel separator, NEL cut.
  for (std::string form : {"\xE2\x80\x8B"s, "\xEF\xBB\xBF"s, "\xE1\xA0\x8E"s,
                           "\xC2"s, "\xE3\x80"s, "x"s, "\x1F"s}) {
    const char* p = form.data();
    EXPECT_EQ(white_space_length(p, p + form.size()), 0u);
  }
}

TEST(TrimWhitespace, Cases) {
  EXPECT_EQ(trim_whitespace(""), "");
  EXPECT_EQ(trim_whitespace(" \t\xC2\xA0\xE3\x80\x80 \xC2\xA0"), "");
  EXPECT_EQ(trim_whitespace("  null \n"), "null");
  EXPECT_EQ(trim_whitespace("\xEF\xBB\xBF x "), "\xEF\xBB\xBF x");
  EXPECT_EQ(trim_whitespace("\xC3\xA9 "), "\xC3\xA9");
  EXPECT_EQ(trim_whitespace("a\xE2\x80\x8B"), "a\xE2\x80\x8B");
  std::string all;
  for (const std::string& form : white_space_forms()) all += form;
  EXPECT_EQ(trim_whitespace(all + "[1 2]" + all), "[1 2]");
  // A lone continuation byte at either end is no White_Space.
  EXPECT_EQ(trim_whitespace("\x80 x \x80"), "\x80 x \x80");
}

struct FenceCase {
  std::string input;
  std::optional<std::string> expected;
};

TEST(StripFences, EdgeCases) {
  const std::vector<FenceCase> cases = {
      {"```json\n{\"a\":1}\n```", "{\"a\":1}"},
      {"```json\n{\"a\":1}", "{\"a\":1}"},
      {"\n\n  ```json\n[1]\n```  \n\n", "[1]"},
      {"Here:\n```json\n[1]\n```", std::nullopt},
      {"```json\n[1]\n```\nDone.", "[1]\n```\nDone."},
      {"```42```", std::nullopt},
      {"```\n42\n```", "42"},
      {"```", std::nullopt},
      {"``````", std::nullopt},
      {"```\n  \t\n```", std::nullopt},
      {"```json-ld\n{}\n```", "-ld\n{}"},
      {"```JSON5 [1]```", "[1]"},
      {"```c++\n[1]\n```", "++\n[1]"},
      {"```j\xC3\xA9\n[1]\n```", "\xC3\xA9\n[1]"},
      {"~~~\n[1]\n~~~", std::nullopt},
      {"``", std::nullopt},
      {"", std::nullopt},
      {"````", "`"},
      {"\xC2\xA0```\n[1]\n```\xE3\x80\x80", "[1]"},
  };
  for (const FenceCase& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(strip_fences(c.input), c.expected);
  }
}

struct PassCase {
  std::string input;
  std::string expected;
};

TEST(StripControls, EdgeCases) {
  const std::vector<PassCase> cases = {
      {"{\"a\":\"x\ty\nz\rw\"}", R"({"a":"x\ty\nz\rw"})"},
      {"[\"a\0b\x07"
       "c\x1B"
       "d\"]"s,
       R"(["abcd"])"},
      {"\x07[\"a\"]\x1B\n\t", "\x07[\"a\"]\x1B\n\t"},
      {"[\n\t\"\x7F\xC2\x85\"\x7F\xC2\x85]",
       "[\n\t\"\x7F\xC2\x85\"\x7F\xC2\x85]"},
      {"\"a\\\nb\"", "\"a\\\nb\""},
      {"\"a\\\"\tb\"\t", "\"a\\\"\\tb\"\t"},
      {"\"abc\n", "\"abc\\n"},
      {"\"a\\", "\"a\\"},
      {"", ""},
      {"[\"a\", \"b\"]", "[\"a\", \"b\"]"},
      {"\"" + repeat("x", 20) + "\n" + repeat("y", 20) + "\"",
       "\"" + repeat("x", 20) + "\\n" + repeat("y", 20) + "\""},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(strip_controls(c.input), c.expected);
    std::optional<std::string> changed = strip_controls_if_changed(c.input);
    EXPECT_EQ(changed.has_value(), c.input != c.expected);
    if (changed) {
      EXPECT_EQ(*changed, c.expected);
    }
  }
}

TEST(StripTrailingCommas, EdgeCases) {
  const std::vector<PassCase> cases = {
      {R"({"a":1,})", R"({"a":1})"},
      {"[1, 2,  \n]", "[1, 2  \n]"},
      {"[1,2,", "[1,2"},
      {"[1,2,  \n", "[1,2  \n"},
      {R"(["a,]", "b,}"])", R"(["a,]", "b,}"])"},
      {R"(["a\",]"])", R"(["a\",]"])"},
      {R"(["a\\",])", R"(["a\\"])"},
      {"[1,,]", "[1,]"},
      {"[1,\xE3\x80\x80\xC2\xA0]", "[1\xE3\x80\x80\xC2\xA0]"},
      {"[1,\xE2\x80\x8B]", "[1,\xE2\x80\x8B]"},
      {"[1, x]", "[1, x]"},
      {"\"a,", "\"a,"},
      {",", ""},
      {"", ""},
      {"[1, 2]", "[1, 2]"},
      {"{\"a\":[1,],\"b\":{\"c\":2,},}", "{\"a\":[1],\"b\":{\"c\":2}}"},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(strip_trailing_commas(c.input), c.expected);
    std::optional<std::string> changed =
        strip_trailing_commas_if_changed(c.input);
    EXPECT_EQ(changed.has_value(), c.input != c.expected);
    if (changed) {
      EXPECT_EQ(*changed, c.expected);
    }
  }
}

TEST(UnwrapDouble, Cases) {
  auto unwrap = [](std::string content) -> std::optional<std::string> {
    std::optional<JsonValue> v = unwrap_double(JsonValue(std::move(content)));
    if (!v) return std::nullopt;
    return to_canonical_text(*v);
  };
  EXPECT_EQ(unwrap(R"({"a":1})"), R"({"a":1})");
  EXPECT_EQ(unwrap(" \n[1, 2]\r\n\t"), "[1,2]");
  EXPECT_EQ(unwrap("[]"), "[]");
  EXPECT_EQ(unwrap("1"), std::nullopt);
  EXPECT_EQ(unwrap(R"("true")"), std::nullopt);
  EXPECT_EQ(unwrap("true"), std::nullopt);
  EXPECT_EQ(unwrap("null"), std::nullopt);
  EXPECT_EQ(unwrap(R"("x")"), std::nullopt);
  EXPECT_EQ(unwrap(R"("[1]")"), std::nullopt);  // one level only
  EXPECT_EQ(unwrap("[1,]"), std::nullopt);
  EXPECT_EQ(unwrap("\xC2\xA0[1]"), std::nullopt);
  EXPECT_EQ(unwrap(""), std::nullopt);
  EXPECT_FALSE(unwrap_double(JsonValue()).has_value());
  EXPECT_FALSE(unwrap_double(JsonValue(JsonArray())).has_value());
  EXPECT_FALSE(unwrap_double(JsonValue(true)).has_value());
}

// MARK: - Reference implementations, code point by code point as the rules
// are worded, to check the byte-scanning passes on random texts.

std::vector<std::string> split_code_points(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    (void)decode_utf8(text, i);
    out.emplace_back(text.substr(start, i - start));
  }
  return out;
}

bool is_ws_form(const std::string& cp) {
  std::size_t i = 0;
  return is_white_space(decode_utf8(cp, i)) && i == cp.size();
}

std::string reference_strip_controls(std::string_view text) {
  std::string out;
  bool in_string = false;
  bool escaped = false;
  for (const std::string& cp : split_code_points(text)) {
    if (!in_string) {
      if (cp == "\"") in_string = true;
      out += cp;
    } else if (escaped) {
      escaped = false;
      out += cp;
    } else if (cp == "\\") {
      escaped = true;
      out += cp;
    } else if (cp == "\"") {
      in_string = false;
      out += cp;
    } else if (cp == "\t") {
      out += "\\t";
    } else if (cp == "\n") {
      out += "\\n";
    } else if (cp == "\r") {
      out += "\\r";
    } else if (cp.size() == 1 && static_cast<unsigned char>(cp[0]) < 0x20) {
      // removed
    } else {
      out += cp;
    }
  }
  return out;
}

std::string reference_strip_trailing_commas(std::string_view text) {
  const std::vector<std::string> cps = split_code_points(text);
  std::string out;
  bool in_string = false;
  bool escaped = false;
  for (std::size_t k = 0; k < cps.size(); ++k) {
    const std::string& cp = cps[k];
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (cp == "\\") {
        escaped = true;
      } else if (cp == "\"") {
        in_string = false;
      }
      out += cp;
      continue;
    }
    if (cp == "\"") in_string = true;
    if (cp == ",") {
      std::size_t j = k + 1;
      while (j < cps.size() && is_ws_form(cps[j])) ++j;
      if (j == cps.size() || cps[j] == "}" || cps[j] == "]") continue;
    }
    out += cp;
  }
  return out;
}

TEST(CleanupPasses, MatchReferenceOnRandomTexts) {
  const std::vector<std::string> alphabet = {
      "\"",       "\\",   ",",           "]",    "}",        " ",
      "\t",       "\n",   "\r",          "\x01", "\0"s,      "a",
      "1",        "[",    "{",           "`",    "\xC2\xA0", "\xE3\x80\x80",
      "\xC3\xA9", "\x7F", "\xE2\x80\x8B"};
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<std::size_t> length(0, 48);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const std::size_t n = length(rng);
    for (std::size_t k = 0; k < n; ++k) text += alphabet[pick(rng)];
    SCOPED_TRACE("text: " + text);
    ASSERT_EQ(strip_controls(text), reference_strip_controls(text));
    ASSERT_EQ(strip_trailing_commas(text),
              reference_strip_trailing_commas(text));
  }
}

// Large inputs of the hostile shapes finish, and give the expected texts.
TEST(CleanupPasses, LargeHostileShapes) {
  constexpr std::size_t kSize = 1'000'000;
  const std::string commas = repeat(",", kSize);
  EXPECT_EQ(strip_trailing_commas(commas), repeat(",", kSize - 1));
  const std::string spaced = repeat(", ", kSize / 2);
  EXPECT_EQ(strip_trailing_commas(spaced).size(), spaced.size() - 1);
  const std::string ticks = repeat("`", kSize);
  EXPECT_EQ(strip_fences(ticks), repeat("`", kSize - 6));
  const std::string escapes = repeat("\"\\", kSize / 2);
  EXPECT_FALSE(strip_controls_if_changed(escapes).has_value());
  EXPECT_FALSE(strip_trailing_commas_if_changed(escapes).has_value());
  const std::string lines = "\"" + repeat("\n", kSize);
  EXPECT_EQ(strip_controls(lines).size(), 2 * kSize + 1);
}

}  // namespace
}  // namespace tarnwick::detail
