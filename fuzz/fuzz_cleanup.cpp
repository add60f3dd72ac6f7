// The cleanup passes: the *_if_changed forms agree with the plain ones and
// with cleanup_needs, strip_controls is idempotent, strip_trailing_commas only
// ever drops commas, and strip_fences / trim_whitespace leave no White_Space
// at either end.
// The passes' contract is valid UTF-8; other inputs only run for safety.

#include <algorithm>  // erase
#include <cstddef>    // size_t
#include <cstdint>    // uint8_t
#include <optional>   // optional
#include <string>     // string

#include "invariants.h"
#include "repair/cleanup.h"

namespace {

std::string without_commas(std::string_view s) {
  std::string out(s);
  std::erase(out, ',');
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace tarnwick;
  const std::string_view text = fuzz::as_text(data, size);
  const bool valid_utf8 = fuzz::is_valid_utf8(text);

  const std::string_view trimmed = detail::trim_whitespace(text);
  TARNWICK_FUZZ_CHECK(trimmed.empty() || (trimmed.data() >= text.data() &&
                                          trimmed.data() + trimmed.size() <=
                                              text.data() + text.size()));
  TARNWICK_FUZZ_CHECK(detail::trim_whitespace(trimmed) == trimmed);

  const std::optional<std::string> fenced = detail::strip_fences(text);
  if (fenced) {
    TARNWICK_FUZZ_CHECK(!fenced->empty());
    TARNWICK_FUZZ_CHECK(detail::trim_whitespace(*fenced) == *fenced);
    TARNWICK_FUZZ_CHECK(fenced->size() + 3 <= text.size());
  }

  const std::string controls = detail::strip_controls(text);
  const std::optional<std::string> controls_if =
      detail::strip_controls_if_changed(text);
  TARNWICK_FUZZ_CHECK(controls_if ? *controls_if == controls
                                  : controls == text);
  if (valid_utf8) {
    TARNWICK_FUZZ_CHECK(fuzz::is_valid_utf8(controls));
    TARNWICK_FUZZ_CHECK(detail::strip_controls(controls) == controls);
  }

  const std::string commas = detail::strip_trailing_commas(text);
  const std::optional<std::string> commas_if =
      detail::strip_trailing_commas_if_changed(text);
  TARNWICK_FUZZ_CHECK(commas_if ? *commas_if == commas : commas == text);
  if (valid_utf8) {
    TARNWICK_FUZZ_CHECK(without_commas(commas) == without_commas(text));
  }

  // The one scan agrees with both passes, also after controls are escaped.
  const detail::CleanupNeeds needs = detail::cleanup_needs(text);
  TARNWICK_FUZZ_CHECK(needs.controls == controls_if.has_value());
  TARNWICK_FUZZ_CHECK(needs.trailing_commas == commas_if.has_value());
  TARNWICK_FUZZ_CHECK(detail::cleanup_needs(controls).trailing_commas ==
                      needs.trailing_commas);
  return 0;
}
