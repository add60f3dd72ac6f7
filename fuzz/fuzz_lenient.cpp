// lenient_rewrite and run_extract. Invariants:
//   - the pass gives one strict document, or says "unchanged";
//   - it is the identity on strict documents, in both scopes, and a value
//   it takes without a rewrite is strict as it stands;
//   - its output is a fixed point: rewriting it again changes nothing;
//   - its end lies within the text, and a rewrite names at least one fix
//     unless only layout changed;
//   - the same input gives the same answer twice;
//   - extraction never holds fewer non-null values than the ladder's repair
//     of the whole text, and its span lies within the text.
// The first byte picks the options of the extraction run on the rest:
//   bit 0 lenient, bit 1 strip_code_fences, bit 2 unwrap_double_encoded.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "invariants.h"
#include "lenient/extraction.h"
#include "tarnwick/extract.h"
#include "tarnwick/lenient.h"

namespace {

using namespace tarnwick;

void check_pass(std::string_view text, LenientScope scope) {
  const LenientText out = lenient_rewrite(text, scope);
  TARNWICK_FUZZ_CHECK(out.begin <= out.end && out.end <= text.size());
  if (!out.found) TARNWICK_FUZZ_CHECK(!out.changed);
  // A strict text is taken whole and rewritten nowhere; a value taken
  // without a rewrite is strict as it stands.
  if (parse_document(text).ok()) {
    TARNWICK_FUZZ_CHECK(out.found && out.to_end && !out.changed &&
                        out.fixes == 0);
  }
  if (out.found && !out.changed) {
    TARNWICK_FUZZ_CHECK(
        parse_document(text.substr(out.begin, out.end - out.begin)).ok());
  }
  if (out.changed) {
    ReadResult<JsonValue> read = parse_document(out.text);
    TARNWICK_FUZZ_CHECK(read.ok());
    if (fuzz::is_valid_utf8(text)) {
      TARNWICK_FUZZ_CHECK(fuzz::is_valid_utf8(out.text));
    }
    const LenientText again = lenient_rewrite(out.text, scope);
    TARNWICK_FUZZ_CHECK(!again.changed);
  }
  const LenientText twice = lenient_rewrite(text, scope);
  TARNWICK_FUZZ_CHECK(twice.text == out.text && twice.fixes == out.fixes &&
                      twice.end == out.end && twice.found == out.found &&
                      twice.to_end == out.to_end);
}

void check_extract(std::string_view text, const ExtractOptions& options) {
  const Extraction found = run_extract(text, options);
  TARNWICK_FUZZ_CHECK(found.span_begin <= found.span_end &&
                      found.span_end <= text.size());
  TARNWICK_FUZZ_CHECK(found.outcome.json ==
                      fuzz::check_round_trip(found.outcome.value));
  if (!options.lenient) TARNWICK_FUZZ_CHECK(found.fixes == 0);
  const RepairOutcome whole = run_ladder(text, options.repair);
  // A part found after other text never holds less than the whole text's
  // repair; a reading from the text's first value on may, and so may the
  // content of a fence that opens the text.
  const std::size_t lead = detail::byte_order_mark_length(text);
  const std::string_view before =
      detail::trim_whitespace(text.substr(lead, found.span_begin - lead));
  const bool fence_first =
      (before.starts_with("```") || before.starts_with("~~~")) &&
      before.find('\n') == std::string_view::npos;
  const bool from_start =
      found.span_begin <= lead || before.empty() || fence_first;
  if (!(options.lenient && from_start)) {
    TARNWICK_FUZZ_CHECK(detail::shape_of_json(found.outcome.json).weight >=
                        detail::shape_of_json(whole.json).weight);
  }
  if (whole.strategy == Strategy::Parse) {
    TARNWICK_FUZZ_CHECK(found.outcome.json == whole.json && found.fixes == 0);
  }
  const Extraction again = run_extract(text, options);
  TARNWICK_FUZZ_CHECK(again.outcome.json == found.outcome.json &&
                      again.fixes == found.fixes &&
                      again.span_begin == found.span_begin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  check_pass(text, LenientScope::Document);
  check_pass(text, LenientScope::OneValue);
  check_extract(text, ExtractOptions{});
  if (size > 0) {
    ExtractOptions options;
    options.lenient = (data[0] & 1) != 0;
    options.repair.strip_code_fences = (data[0] & 2) != 0;
    options.repair.unwrap_double_encoded = (data[0] & 4) != 0;
    check_extract(text.substr(1), options);
  }
  return 0;
}
