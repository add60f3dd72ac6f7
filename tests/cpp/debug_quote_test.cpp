#include "python/debug_quote.h"

#include <cstdio>  // snprintf, sscanf

#include "test_util.h"
#include "text/chars.h"
#include "text/utf8.h"

namespace tarnwick {
namespace {

// Every code point on its own is checked against the character database
// below; these are the sequences, short escapes and ill-formed input.
TEST(DebugQuote, Table) {
  const std::vector<test::Case> cases = {
      {"", R"("")"},
      {"it's", R"("it's")"},
      {std::string("\0", 1), R"("\0")"},
      {"a\tb\nc\rd", R"("a\tb\nc\rd")"},
      {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
      {"\x01\x1f", R"("\u{1}\u{1f}")"},
      {"caf\u00e9", "\"caf\u00e9\""},
      {"\u00a0", R"("\u{a0}")"},
      {"e\u0301!", R"("e\u{301}!")"},
      {"a\u200bb", R"("a\u{200b}b")"},
      {"\ufeff{}", R"("\u{feff}{}")"},
      {"\U0001F600", "\"\U0001F600\""},
      {"\U0010FFFF", R"("\u{10ffff}")"},
      {R"({"a":1})", R"("{\"a\":1}")"},
      {R"("a\nb")", R"("\"a\\nb\"")"},
      // Each byte that starts no well-formed sequence becomes U+FFFD.
      {"\xff", "\"\ufffd\""},
      {"a\xc3", "\"a\ufffd\""},
      {"\xe2\x82", "\"\ufffd\ufffd\""},
      {"\xc0\xaf", "\"\ufffd\ufffd\""},
      {"\xed\xa0\x80", "\"\ufffd\ufffd\ufffd\""},
      {"\xf4\x90\x80\x80", "\"\ufffd\ufffd\ufffd\ufffd\""},
  };
  for (const test::Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(debug_quote(c.input), c.expected);
  }
}

// Reads the character database installed by the unicode-data package,
// independently of the table generator, and checks debug_quote's decision
// for every Unicode scalar value.
TEST(DebugQuote, AgreesWithCharacterDatabase) {
  const std::string dir = "/usr/share/unicode/";
  std::ifstream derived(dir + "DerivedCoreProperties.txt");
  std::ifstream data(dir + "UnicodeData.txt");
  if (!derived || !data) GTEST_SKIP() << "no character database in " << dir;
  std::string line;
  std::getline(derived, line);
  const std::string version(detail::unicode_version());
  if (line != "# DerivedCoreProperties-" + version + ".txt") {
    GTEST_SKIP() << "installed database is not Unicode " << version;
  }

  std::vector<bool> escaped(0x110000, true);  // unlisted: Cn
  unsigned range_first = 0;
  while (std::getline(data, line)) {
    unsigned cp = 0;
    char name_buf[128] = "";
    char gc_buf[3] = "";
    std::sscanf(line.c_str(), "%x;%127[^;];%2[^;]", &cp, name_buf, gc_buf);
    const std::string_view name(name_buf), gc(gc_buf);
    if (!name.ends_with(", Last>")) range_first = cp;
    if (name.ends_with(", First>")) continue;
    const bool not_printable =
        gc[0] == 'C' || gc == "Zl" || gc == "Zp" || (gc == "Zs" && cp != 0x20);
    for (unsigned c = range_first; c <= cp; ++c) escaped[c] = not_printable;
  }
  while (std::getline(derived, line)) {
    if (line.find("; Grapheme_Extend #") == std::string::npos) continue;
    unsigned lo = 0;
    unsigned hi = 0;
    if (std::sscanf(line.c_str(), "%x..%x", &lo, &hi) == 1) hi = lo;
    for (unsigned c = lo; c <= hi; ++c) escaped[c] = true;
  }

  int mismatches = 0;
  for (char32_t c = 0; c < 0x110000; ++c) {
    // Surrogates have no UTF-8 form; the short escapes are in the table.
    if ((c >= 0xD800 && c <= 0xDFFF) || c == 0 || c == '\t' || c == '\n' ||
        c == '\r' || c == '"' || c == '\\') {
      continue;
    }
    std::string utf8;
    detail::append_utf8(c, utf8);
    std::string expected = "\"" + utf8 + "\"";
    if (escaped[c]) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "\"\\u{%x}\"", static_cast<unsigned>(c));
      expected = hex;
    }
    const std::string actual = debug_quote(utf8);
    if (actual != expected && ++mismatches <= 20) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << ": got "
                    << actual << ", expected " << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace tarnwick
