// Fuzz target: every candidate of the extraction search. Invariants: the
// candidates are in text order and lie within the text, each is a value
// that reads back to its own json, none is a fallback, and extract's answer
// is one of them unless it is the fallback.

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // string_view
#include <vector>       // vector

#include "invariants.h"
#include "tarnwick/extract.h"

namespace {

using namespace tarnwick;

void check_all(std::string_view text, const ExtractOptions& options) {
  const std::vector<Extraction> all = run_extract_all(text, options);
  std::size_t last = 0;
  for (const Extraction& c : all) {
    TARNWICK_FUZZ_CHECK(c.span_begin <= c.span_end &&
                        c.span_end <= text.size() && c.span_begin >= last);
    TARNWICK_FUZZ_CHECK(c.outcome.strategy != Strategy::Fallback);
    TARNWICK_FUZZ_CHECK(c.outcome.json ==
                        fuzz::check_round_trip(c.outcome.value));
    last = c.span_begin;
  }
  const Extraction one = run_extract(text, options);
  if (one.outcome.strategy == Strategy::Fallback) return;
  bool present = false;
  for (const Extraction& c : all) {
    present = present ||
              (c.span_begin == one.span_begin && c.span_end == one.span_end &&
               c.outcome.json == one.outcome.json && c.guessed == one.guessed);
  }
  TARNWICK_FUZZ_CHECK(present);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  check_all(text, ExtractOptions{});
  if (size > 0) {
    ExtractOptions options;
    options.lenient = (data[0] & 1) != 0;
    options.repair.strip_code_fences = (data[0] & 2) != 0;
    check_all(text.substr(1), options);
  }
  return 0;
}
