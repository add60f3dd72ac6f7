#include "python/debug_quote.h"

#include <gtest/gtest.h>

#include <cstdio>   // std::snprintf
#include <fstream>  // std::ifstream
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {
namespace {

struct QuoteCase {
  std::string_view input;
  std::string_view expected;
};

TEST(DebugQuote, Table) {
  const QuoteCase cases[] = {
      {"", R"("")"},
      {"Null", R"("Null")"},
      {"it's", R"("it's")"},
      {std::string_view("\0", 1), R"("\0")"},
      {"a\tb\nc\rd", R"("a\tb\nc\rd")"},
      {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
      {"\x01\x1f", R"("\u{1}\u{1f}")"},
      {"\x7f", R"("\u{7f}")"},
      {"caf\u00e9", "\"caf\u00e9\""},
      {"\u00a0", R"("\u{a0}")"},
      {"\u0085\u00ad", R"("\u{85}\u{ad}")"},
      {"e\u0301!", R"("e\u{301}!")"},
      {"a\u200bb", R"("a\u{200b}b")"},
      {"\u2028\u2029", R"("\u{2028}\u{2029}")"},
      {"\ufeff{}", R"("\u{feff}{}")"},
      {"\u3000 \u4e2d", "\"\\u{3000} \u4e2d\""},
      {"\ue000", R"("\u{e000}")"},
      {"\U0001F600", "\"\U0001F600\""},
      {"\U0010FFFF", R"("\u{10ffff}")"},
      // The repr examples: canonical JSON shown with its quotes and
      // backslashes escaped.
      {R"({"a":1})", R"("{\"a\":1}")"},
      {R"("a\nb")", R"("\"a\\nb\"")"},
      // Ill-formed UTF-8: each byte that starts no well-formed sequence
      // becomes U+FFFD.
      {"\xff", "\"\ufffd\""},
      {"a\xc3", "\"a\ufffd\""},
      {"\xe2\x82", "\"\ufffd\ufffd\""},
      {"\xc0\xaf", "\"\ufffd\ufffd\""},
      {"\xed\xa0\x80", "\"\ufffd\ufffd\ufffd\""},
      {"\xf4\x90\x80\x80", "\"\ufffd\ufffd\ufffd\ufffd\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.input));
    EXPECT_EQ(debug_quote(c.input), c.expected);
  }
}

// Each table is sorted with disjoint, non-adjacent ranges, as the lookup's
// binary search needs.
TEST(DebugQuote, TablesAreOrdered) {
  for (const auto table :
       {detail::not_printable_ranges(), detail::grapheme_extend_ranges()}) {
    ASSERT_FALSE(table.empty());
    for (std::size_t k = 0; k < table.size(); ++k) {
      SCOPED_TRACE(k);
      EXPECT_LE(table[k].first, table[k].last);
      EXPECT_LE(table[k].last, 0x10FFFFu);
      if (k > 0) {
        EXPECT_GT(table[k].first, table[k - 1].last + 1);
      }
    }
  }
}

// The Unicode Character Database as the unicode-data package installs it.
constexpr const char* kUcdDir = "/usr/share/unicode";
constexpr char32_t kCodePoints = 0x110000;

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t end; (end = line.find(sep, start)) != std::string::npos;
       start = end + 1) {
    fields.push_back(line.substr(start, end - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

char32_t parse_hex(const std::string& s) {
  return static_cast<char32_t>(std::stoul(s, nullptr, 16));
}

std::string utf8_of(char32_t c) {
  std::string s;
  const auto put = [&s](char32_t v) { s += static_cast<char>(v); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
  return s;
}

// Re-reads the character database independently of the generator and checks
// debug_quote's decision for every Unicode scalar value.
TEST(DebugQuote, AgreesWithCharacterDatabase) {
  std::ifstream derived(std::string(kUcdDir) + "/DerivedCoreProperties.txt");
  std::ifstream data(std::string(kUcdDir) + "/UnicodeData.txt");
  if (!derived || !data) GTEST_SKIP() << "no character database in " << kUcdDir;

  std::string line;
  std::getline(derived, line);
  const std::string expected_head = "# DerivedCoreProperties-" +
                                    std::string(detail::unicode_version()) +
                                    ".txt";
  if (line != expected_head) {
    GTEST_SKIP() << "installed database is not Unicode "
                 << detail::unicode_version() << ": " << line;
  }

  std::vector<bool> escaped(kCodePoints, true);  // unlisted: Cn
  char32_t range_first = 0;
  while (std::getline(data, line)) {
    const auto fields = split(line, ';');
    ASSERT_GE(fields.size(), 3u) << line;
    const char32_t cp = parse_hex(fields[0]);
    const std::string& name = fields[1];
    const std::string& gc = fields[2];
    if (name.ends_with(", First>")) {
      range_first = cp;
      continue;
    }
    if (!name.ends_with(", Last>")) range_first = cp;
    const bool not_printable =
        gc[0] == 'C' || gc == "Zl" || gc == "Zp" || (gc == "Zs" && cp != 0x20);
    for (char32_t c = range_first; c <= cp; ++c) escaped[c] = not_printable;
  }
  while (std::getline(derived, line)) {
    const auto data_part = trim(line.substr(0, line.find('#')));
    if (data_part.empty()) continue;
    const auto fields = split(data_part, ';');
    if (trim(fields[1]) != "Grapheme_Extend") continue;
    const auto span = trim(fields[0]);
    const auto dots = span.find("..");
    const char32_t lo = parse_hex(span.substr(0, dots));
    const char32_t hi =
        dots == std::string::npos ? lo : parse_hex(span.substr(dots + 2));
    for (char32_t c = lo; c <= hi; ++c) escaped[c] = true;
  }

  int mismatches = 0;
  for (char32_t c = 0; c < kCodePoints; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // not encodable in UTF-8
    if (c == 0 || c == '\t' || c == '\n' || c == '\r' || c == '"' ||
        c == '\\') {
      continue;  // short escapes, covered by the table above
    }
    std::string expected = "\"";
    if (escaped[c]) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "\\u{%x}", static_cast<unsigned>(c));
      expected += hex;
    } else {
      expected += utf8_of(c);
    }
    expected += '"';
    const std::string actual = debug_quote(utf8_of(c));
    if (actual != expected && ++mismatches <= 20) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << ": got "
                    << actual << ", expected " << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace tarnwick
