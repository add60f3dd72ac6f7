// The tolerant parser: never fails, closes every container it opens, stays
// within its depth limit, is deterministic, and yields a value the strict
// reader accepts and whose canonical text it writes on the way. On a valid
// UTF-8 strict document within its depth limit it agrees with the strict
// reader.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "invariants.h"
#include "tolerant/tolerant_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace tarnwick;
  using detail::TolerantParser;
  // Invalid UTF-8 is read too: the decoder must turn it into U+FFFD safely.
  const std::string_view text = fuzz::as_text(data, size);
  const bool valid_utf8 = fuzz::is_valid_utf8(text);

  std::string written;  // the canonical text the parser writes on the way
  TolerantParser parser(text, &written);
  TARNWICK_FUZZ_CHECK(parser.length() <= text.size());
  TARNWICK_FUZZ_CHECK(parser.depth() == 0);
  parser.skip_whitespace();
  JsonValue value = parser.parse_value();
  TARNWICK_FUZZ_CHECK(parser.depth() == 0);
  TARNWICK_FUZZ_CHECK(parser.peak_depth() <= TolerantParser::MAX_DEPTH);
  TARNWICK_FUZZ_CHECK(parser.pos() <= parser.length());
  TARNWICK_FUZZ_CHECK(fuzz::nesting_depth(value) <= TolerantParser::MAX_DEPTH);

  const std::string canonical = fuzz::check_round_trip(value);
  // Undecodable bytes become U+FFFD, so the output is always valid UTF-8.
  TARNWICK_FUZZ_CHECK(fuzz::is_valid_utf8(canonical));
  // It agrees with the writer unless a repeated key spoiled it (said so).
  if (!value.is_null() && parser.canonical_exact()) {
    TARNWICK_FUZZ_CHECK(written == canonical);
  }

  JsonValue again = detail::parse_tolerant(text);
  TARNWICK_FUZZ_CHECK(again == value);

  if (valid_utf8) {
    ReadResult<JsonValue> strict = parse_document(text);
    if (strict.ok() &&
        fuzz::nesting_depth(strict.value()) <= TolerantParser::MAX_DEPTH) {
      TARNWICK_FUZZ_CHECK(strict.value() == value);
    }
  }
  return 0;
}
