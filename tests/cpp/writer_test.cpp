#include "tarnwick/writer.h"

#include <limits>  // numeric_limits

#include "test_util.h"

namespace tarnwick {
namespace {

TEST(Writer, DoubleLayout) {
  const std::pair<double, std::string> cases[] = {
      {1.0, "1.0"},
      {0.1, "0.1"},
      {0.30000000000000004, "0.30000000000000004"},
      {4.35, "4.35"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {1e21, "1e+21"},
      {0.00001, "0.00001"},
      {0.0000123, "0.0000123"},
      {0.000001, "1e-6"},
      {1.23e-6, "1.23e-6"},
      {-0.0, "-0.0"},
      {-2.5, "-2.5"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {123456789012345.6, "123456789012345.6"},
      {9007199254740993.0, "9007199254740992.0"}};
  for (const auto& [value, expected] : cases) {
    std::string out;
    format_double(value, out);
    EXPECT_EQ(out, expected);
  }
}

// Writer and reader scan strings in blocks of bytes: a byte that needs an
// escape, or sits just outside the escaped set, at every offset of strings up
// to 40 bytes is written as expected and read back; a raw control is refused.
TEST(Writer, EscapesRoundTripAtEveryOffsetOfTheBlockScan) {
  const std::pair<char, std::string> probes[] = {
      {'\0', "\\u0000"}, {'\x1f', "\\u001f"}, {'\n', "\\n"},
      {'"', "\\\""},     {'\\', "\\\\"},      {' ', " "},
      {'\x7f', "\x7f"},  {'\xe0', "\xe0"},    {'\xff', "\xff"}};
  for (std::size_t len = 0; len < 40; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      for (const auto& [byte, escaped] : probes) {
        const std::string head(at, 'x');
        const std::string tail(len - at, 'x');
        const std::string text = head + byte + tail;
        SCOPED_TRACE(testing::Message()
                     << "len " << len << " at " << at << " byte " << int{byte});
        std::string out;
        escape_string(text, out);
        ASSERT_EQ(out, "\"" + head + escaped + tail + "\"");
        ASSERT_EQ(test::canon(out), out);
        if (static_cast<unsigned char>(byte) < 0x20) {
          ASSERT_EQ(parse_document("\"" + text + "\"").error().kind,
                    ReadErrorKind::ControlCharacterInString);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick
