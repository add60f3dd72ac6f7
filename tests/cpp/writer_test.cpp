#include "tarnwick/writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::string text_of(double d) {
  std::string out;
  format_double(d, out);
  return out;
}

TEST(Writer, DoubleLayout) {
  struct Case {
    double value;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {1.0, "1.0"},
      {0.1, "0.1"},
      {0.30000000000000004, "0.30000000000000004"},
      {100.0, "100.0"},
      {123.456, "123.456"},
      {4.35, "4.35"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {1e21, "1e+21"},
      {0.001, "0.001"},
      {0.00001, "0.00001"},
      {0.0000123, "0.0000123"},
      {0.000001, "1e-6"},
      {1e-7, "1e-7"},
      {1.23e-6, "1.23e-6"},
      {-0.0, "-0.0"},
      {0.0, "0.0"},
      {-2.5, "-2.5"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {18446744073709551616.0, "1.8446744073709552e+19"},
      {123456789012345.6, "123456789012345.6"},
      {9007199254740993.0, "9007199254740992.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(text_of(c.value), c.expected);
  }
}

TEST(Writer, Values) {
  JsonObject obj;
  obj.insert("a", JsonValue(JsonNumber(std::uint64_t{1})));
  obj.insert("b", JsonValue(JsonNumber(std::uint64_t{2})));
  obj.insert("a", JsonValue(JsonNumber(std::uint64_t{3})));
  JsonArray one;
  one.emplace_back(JsonObject());
  struct Case {
    JsonValue value;
    const char* expected;
  };
  std::vector<Case> cases;
  cases.push_back({JsonValue(), "null"});
  cases.push_back({JsonValue(true), "true"});
  cases.push_back({JsonValue(false), "false"});
  cases.push_back({JsonValue(JsonObject()), "{}"});
  cases.push_back({JsonValue(JsonArray()), "[]"});
  cases.push_back({JsonValue(std::move(one)), "[{}]"});
  cases.push_back({JsonValue(std::move(obj)), R"({"a":3,"b":2})"});
  cases.push_back({JsonValue(JsonNumber(std::uint64_t{0})), "0"});
  cases.push_back({JsonValue(JsonNumber(UINT64_MAX)), "18446744073709551615"});
  cases.push_back({JsonValue(JsonNumber(std::int64_t{-1})), "-1"});
  cases.push_back({JsonValue(JsonNumber(INT64_MIN)), "-9223372036854775808"});
  cases.push_back(
      {JsonValue(JsonNumber(std::uint64_t{1234567890})), "1234567890"});
  cases.push_back({JsonValue(std::string("\x01\x7F/", 3)), "\"\\u0001\x7F/\""});
  cases.push_back({JsonValue(std::string("\t\f\b\v\r\n\"\\")),
                   R"("\t\f\b\u000b\r\n\"\\")"});
  cases.push_back({JsonValue(std::string("\0\x1F", 2)), R"("\u0000\u001f")"});
  cases.push_back({JsonValue(std::string("\xC3\xA9\xE2\x80\xA8")),
                   "\"\xC3\xA9\xE2\x80\xA8\""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(to_canonical_text(c.value), c.expected);
  }
}

// The string scan works on blocks of 16 and 8 bytes; a byte that needs an
// escape (or that sits just outside the escaped set) at every offset of
// strings up to 40 bytes long must come out exactly as a byte-wise writer
// would write it.
TEST(Writer, EscapesAtEveryOffsetOfTheBlockScan) {
  auto reference = [](const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c == '\n') {
        out += "\\n";
      } else if (c < 0x20) {
        const char hex[] = "0123456789abcdef";
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 0xF];
      } else {
        out += static_cast<char>(c);
      }
    }
    return out + "\"";
  };
  const std::string probes = std::string("\x00\x1f\n\"\\ \x7f\xe0\xff", 9);
  for (std::size_t len = 0; len < 40; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      for (char probe : probes) {
        std::string text(len, 'x');
        text.insert(at, 1, probe);
        SCOPED_TRACE(testing::Message() << "len " << len << " at " << at
                                        << " byte " << int{probe});
        std::string out;
        escape_string(text, out);
        ASSERT_EQ(out, reference(text));
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick
