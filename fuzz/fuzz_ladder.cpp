// run_ladder. Every input runs twice: with the default options on the whole
// input, and with options chosen by the first byte on the rest:
//   bit 0   strip_code_fences      bit 1   unwrap_double_encoded
//   bit 2   empty-object fallback  bits 3+ max_len: 0 the rest's length,
//           1 one byte less, 2 zero, 3 the largest, otherwise the default.
// Invalid UTF-8 is run too (the binding never passes it, but the engine must
// stay memory-safe); the output is checked for valid UTF-8 only when the
// input was valid.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t, uint64_t
#include <limits>   // numeric_limits

#include "invariants.h"
#include "tarnwick/repair.h"

namespace {

using namespace tarnwick;

RepairOptions decode_options(std::uint8_t flags, std::size_t rest_size) {
  RepairOptions options;
  options.strip_code_fences = (flags & 1) != 0;
  options.unwrap_double_encoded = (flags & 2) != 0;
  options.fallback =
      (flags & 4) != 0 ? FallbackKind::EmptyObject : FallbackKind::Null;
  switch (flags >> 3) {
    case 0:
      options.max_len = rest_size;
      break;
    case 1:
      options.max_len = rest_size == 0 ? 0 : rest_size - 1;
      break;
    case 2:
      options.max_len = 0;
      break;
    case 3:
      options.max_len = std::numeric_limits<std::uint64_t>::max();
      break;
    default:
      break;
  }
  return options;
}

void check_outcome(std::string_view input, const RepairOptions& options) {
  const RepairOutcome out = run_ladder(input, options);

  // ok and changed follow from the strategy alone.
  TARNWICK_FUZZ_CHECK(out.ok == (out.strategy != Strategy::Fallback));
  TARNWICK_FUZZ_CHECK(out.changed == (out.strategy != Strategy::Parse));

  TARNWICK_FUZZ_CHECK(out.json == fuzz::check_round_trip(out.value));
  if (fuzz::is_valid_utf8(input)) {
    TARNWICK_FUZZ_CHECK(fuzz::is_valid_utf8(out.json));
  }

  if (input.size() > options.max_len) {
    TARNWICK_FUZZ_CHECK(out.strategy == Strategy::Fallback);
  }
  if (out.strategy == Strategy::Fallback) {
    TARNWICK_FUZZ_CHECK(
        out.json == (options.fallback == FallbackKind::Null ? "null" : "{}"));
  }
  if (!options.strip_code_fences) {
    TARNWICK_FUZZ_CHECK(out.strategy != Strategy::StripFences);
  }
  if (!options.unwrap_double_encoded) {
    TARNWICK_FUZZ_CHECK(out.strategy != Strategy::UnwrapDouble);
  }
  if (out.strategy == Strategy::UnwrapDouble) {
    TARNWICK_FUZZ_CHECK(out.value.kind() == ValueKind::Array ||
                        out.value.kind() == ValueKind::Object);
  }

  // A strict document within the limit is answered by rung 1, and only it.
  if (input.size() <= options.max_len) {
    ReadResult<JsonValue> strict = parse_document(input);
    if (strict.ok()) {
      TARNWICK_FUZZ_CHECK(out.strategy == Strategy::Parse ||
                          out.strategy == Strategy::UnwrapDouble);
      if (out.strategy == Strategy::Parse) {
        TARNWICK_FUZZ_CHECK(out.value == strict.value());
      }
    } else {
      TARNWICK_FUZZ_CHECK(out.strategy != Strategy::Parse &&
                          out.strategy != Strategy::UnwrapDouble);
    }
  }

  const RepairOutcome again = run_ladder(input, options);
  TARNWICK_FUZZ_CHECK(again.json == out.json);
  TARNWICK_FUZZ_CHECK(again.strategy == out.strategy);
  TARNWICK_FUZZ_CHECK(again.value == out.value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  check_outcome(text, RepairOptions{});
  if (size > 0) {
    check_outcome(text.substr(1), decode_options(data[0], size - 1));
  }
  return 0;
}
