// parse_number_document against parse_document: it accepts exactly the
// documents whose value is a number, gives the same number, and fails the
// same way when the text starts like a number.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "invariants.h"

namespace {

bool is_json_space(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace tarnwick;
  const std::string_view text = fuzz::as_text(data, size);

  ReadResult<JsonNumber> number = parse_number_document(text);
  ReadResult<JsonValue> doc = parse_document(text);
  const bool doc_is_number =
      doc.ok() && doc.value().kind() == ValueKind::Number;
  TARNWICK_FUZZ_CHECK(number.ok() == doc_is_number);

  if (number.ok()) {
    const JsonNumber n = number.value();
    TARNWICK_FUZZ_CHECK(n == doc.value().as_number());
    if (n.kind() == NumberKind::NegativeInt) {
      TARNWICK_FUZZ_CHECK(n.as_negative() < 0);
    }
    // The canonical form of the number reads back to the same kind and bits.
    const std::string canonical = fuzz::check_round_trip(JsonValue(n));
    ReadResult<JsonNumber> again = parse_number_document(canonical);
    TARNWICK_FUZZ_CHECK(again.ok() && again.value() == n);
    return 0;
  }

  std::size_t i = 0;
  while (i < text.size() && is_json_space(text[i])) ++i;
  const bool starts_numeric =
      i < text.size() && (text[i] == '-' || (text[i] >= '0' && text[i] <= '9'));
  if (starts_numeric) {
    TARNWICK_FUZZ_CHECK(!doc.ok());
    const ReadError a = number.error();
    const ReadError b = doc.error();
    TARNWICK_FUZZ_CHECK(a.kind == b.kind && a.line == b.line &&
                        a.column == b.column);
  }
  return 0;
}
