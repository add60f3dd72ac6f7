// The strict reader: any byte string either fails or gives a value whose
// canonical text reads back to the same value and text. A valid document
// also passes the cleanup passes untouched, agrees with parse_container and
// is never refused by may_be_document.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t
#include <optional>

#include "invariants.h"
#include "repair/cleanup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace tarnwick;
  const std::string_view text = fuzz::as_text(data, size);

  ReadResult<JsonValue> doc = parse_document(text);
  std::optional<JsonValue> container = parse_container(text);
  if (!doc.ok()) {
    TARNWICK_FUZZ_CHECK(!container);
    TARNWICK_FUZZ_CHECK(doc.error().line >= 1);
    return 0;
  }
  const JsonValue& value = doc.value();
  // The ladder skips documents this refuses.
  TARNWICK_FUZZ_CHECK(may_be_document(text));
  const bool is_container =
      value.kind() == ValueKind::Array || value.kind() == ValueKind::Object;
  TARNWICK_FUZZ_CHECK(container.has_value() == is_container);
  if (container) TARNWICK_FUZZ_CHECK(*container == value);

  // 127 open containers are the reader's limit.
  TARNWICK_FUZZ_CHECK(fuzz::nesting_depth(value) <= 127);
  fuzz::check_round_trip(value);

  // A valid document has no raw controls in strings and no trailing commas.
  TARNWICK_FUZZ_CHECK(!detail::strip_controls_if_changed(text));
  TARNWICK_FUZZ_CHECK(!detail::strip_trailing_commas_if_changed(text));
  return 0;
}
