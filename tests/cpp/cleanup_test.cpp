#include "repair/cleanup.h"

#include <gtest/gtest.h>

#include <optional>  // optional, nullopt

#include "test_util.h"
#include "text/chars.h"
#include "text/utf8.h"

namespace tarnwick::detail {
namespace {

using namespace std::string_literals;

struct Case {
  std::string input;
  std::optional<std::string> expected;  // nullopt: the pass gives nothing
};

TEST(WhiteSpace, CodePointsAndTrimming) {
  const std::vector<char32_t> expected = {
      0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
      0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
      0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  std::vector<char32_t> found;
  std::string all;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (!is_white_space(c)) continue;
    found.push_back(c);
    append_utf8(c, all);
  }
  EXPECT_EQ(found, expected);
  // Near misses: BOM, zero width space, Mongolian vowel separator, cut forms.
  const std::vector<Case> trims = {{"", ""},
                                   {" \t\xC2\xA0\xE3\x80\x80 \xC2\xA0", ""},
                                   {"  null \n", "null"},
                                   {all + "[1 2]" + all, "[1 2]"},
                                   {"\xEF\xBB\xBF x ", "\xEF\xBB\xBF x"},
                                   {"\xC3\xA9 ", "\xC3\xA9"},
                                   {"a\xE2\x80\x8B", "a\xE2\x80\x8B"},
                                   {"\xE1\xA0\x8E", "\xE1\xA0\x8E"},
                                   {"\xC2 \xE3\x80", "\xC2 \xE3\x80"},
                                   {"\x80 x \x80", "\x80 x \x80"}};
  for (const Case& c : trims) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(trim_whitespace(c.input), *c.expected);
  }
}

TEST(StripFences, EdgeCases) {
  const std::vector<Case> cases = {
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
      {"```j\xC3\xA9\n[1]\n```", "\xC3\xA9\n[1]"},
      {"~~~\n[1]\n~~~", std::nullopt},
      {"````", "`"},
      {"\xC2\xA0```\n[1]\n```\xE3\x80\x80", "[1]"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(strip_fences(c.input), c.expected);
  }
}

// Checks a pass, its ladder variant, which gives nothing exactly when the
// pass changes nothing, and the flag of cleanup_needs that predicts it.
template <class Pass, class IfChanged>
void check_pass(const std::vector<Case>& cases, Pass pass, IfChanged ifc,
                bool CleanupNeeds::*needed) {
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(pass(c.input), *c.expected);
    EXPECT_EQ(ifc(c.input), c.input == *c.expected ? std::nullopt : c.expected);
    EXPECT_EQ(cleanup_needs(c.input).*needed, c.input != *c.expected);
  }
}

TEST(StripControls, EdgeCases) {
  check_pass(
      {{"{\"a\":\"x\ty\nz\rw\"}", R"({"a":"x\ty\nz\rw"})"},
       {"[\"a\0b\ac\033d\"]"s, R"(["abcd"])"},
       {"\x07[\"a\"]\x1B\n\t\0"s, "\x07[\"a\"]\x1B\n\t\0"s},
       {"[\"\x7F\xC2\x85\"\x7F\xC2\x85]", "[\"\x7F\xC2\x85\"\x7F\xC2\x85]"},
       {"\"a\\\nb\"", "\"a\\\nb\""},
       {"\"a\\\"\tb\"\t", "\"a\\\"\\tb\"\t"},
       {"\"a\\\\\"\t", "\"a\\\\\"\t"},
       {"\"\\\xC3\xA9\t\"", "\"\\\xC3\xA9\\t\""},
       {"\"abc\n", "\"abc\\n"},
       {"\"a\\", "\"a\\"},
       {"", ""}},
      strip_controls, strip_controls_if_changed, &CleanupNeeds::controls);
}

TEST(StripTrailingCommas, EdgeCases) {
  check_pass(
      {{R"({"a":1,})", R"({"a":1})"},
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
       {"{\"a\":[1,],\"b\":{\"c\":2,},}", "{\"a\":[1],\"b\":{\"c\":2}}"}},
      strip_trailing_commas, strip_trailing_commas_if_changed,
      &CleanupNeeds::trailing_commas);
}

// The passes scan blocks of bytes: each probe sits at every offset of a
// string literal followed by a trailing comma, `"x..x<probe>x..x",]`.
TEST(CleanupPasses, EveryOffsetOfTheBlockScan) {
  struct Probe {
    std::string raw;
    std::string controls;  // what strip_controls makes of it
    bool comma_goes;       // false when the probe moves the string's end
  };
  const std::vector<Probe> probes = {
      {"\t", "\\t", true},    {"\x1f", "", true},     {" \x7f", " \x7f", true},
      {"\\\n", "\\\n", true}, {"\\\"", "\\\"", true}, {"\\\\", "\\\\", true},
      {",]", ",]", true},     {"\"\t", "\"\t", false}};
  for (std::size_t len = 0; len < 72; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      for (const Probe& p : probes) {
        const std::string head = "\"" + std::string(at, 'x');
        const std::string tail = std::string(len - at, 'x') + "\"";
        const std::string text = head + p.raw + tail + ",]";
        SCOPED_TRACE(text);
        ASSERT_EQ(strip_controls(text), head + p.controls + tail + ",]");
        ASSERT_EQ(strip_trailing_commas(text),
                  p.comma_goes ? head + p.raw + tail + "]" : text);
        const CleanupNeeds needs = cleanup_needs(text);
        ASSERT_EQ(needs.controls, p.controls != p.raw);
        ASSERT_EQ(needs.trailing_commas, p.comma_goes);
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick::detail
